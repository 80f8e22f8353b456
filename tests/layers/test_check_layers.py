#!/usr/bin/env python3
"""The include check on small trees made here: each wrong include is found
and named, and a tree that keeps the order passes."""
import contextlib
import io
import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_layers  # noqa: E402


class CheckLayersTest(unittest.TestCase):
    def run_on(self, files):
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            for name, text in files.items():
                path = root / name
                path.parent.mkdir(parents=True, exist_ok=True)
                path.write_text(text)
            out = io.StringIO()
            with contextlib.redirect_stdout(out):
                code = check_layers.main(["check_layers.py", str(root)])
            return code, out.getvalue()

    def test_a_tree_in_order_passes(self):
        code, out = self.run_on({
            "platform/system/Files.h": "#include <string>\n",
            "platform/system/Files.cpp": '#include "platform/system/Files.h"\n',
            "platform/system/Socket.h": "#include <string>\n",
            "foundation/Log.cpp": '#include "platform/system/Files.h"\n',
            "media/zkD3D.cpp": '#include "foundation/Log.h"\n#include "platform/render/D3D8.h"\n#include <SDL.h>\n',
            "game/data/Reader.cpp": '#include "foundation/BinaryIO.h"\n#include <vector>\n#include <cstdint>\n',
            "game/logic/Logic.cpp": '#include "game/data/Reader.h"\n#include "game/logic/Sprites.h"\n',
            "game/assets/Images.cpp": '#include "game/data/Reader.h"\n#include "media/zkD3D.h"\n',
            "game/core/Core.cpp": '#include "game/assets/Images.h"\n#include "game/logic/Logic.h"\n',
            "frontend/Main.cpp": '#include "game/core/Core.h"\n#include "sysinfo/Cpu.h"\n#include <QWidget>\n',
            "multiplayer/Lobby.cpp": '#include "frontend/Main.h"\n',
            "sysinfo/Cpu.cpp": '#include "foundation/Log.h"\n#include "platform/sysinfo/Cpuid.h"\n',
            "installer/Main.cpp": '#include "installer/Package.h"\n#include "platform/system/Socket.h"\n',
        })
        self.assertEqual(code, 0, out)
        self.assertIn("13 files checked, 0 wrong includes", out)

    def test_each_wrong_include_is_found(self):
        cases = [
            ("game/logic/Bad.cpp", '#include "platform/system/Clock.h"\n', "game/logic/ uses foundation/"),
            ("game/data/Bad.h", '#include "media/zkGeometry.h"\n', "game/data/ uses foundation/"),
            ("game/data/Bad.h", "#include <SDL.h>\n", "game/data/ uses foundation/"),
            ("game/logic/Bad.h", "#include <QString>\n", "game/logic/ uses foundation/"),
            ("game/logic/Bad.h", "#include <QtCore/QString>\n", "game/logic/ uses foundation/"),
            ("game/data/Bad.cpp", '#include "game/core/Core.h"\n', "game/data/ must not include game/core/"),
            ("game/assets/Bad.cpp", '#include "game/core/Core.h"\n', "game/assets/ must not include game/core/"),
            ("platform/render/Bad.cpp", '#include "media/zkD3D.h"\n', "platform/ must not include media/"),
            ("foundation/Bad.cpp", '#include "game/core/Core.h"\n', "foundation/ must not include game/"),
            ("media/Bad.cpp", '  #  include "frontend/Main.h"\n', "media/ must not include frontend/"),
            ("game/core/Bad.cpp", '#include "multiplayer/Lobby.h"\n', "game/ must not include multiplayer/"),
            ("game/core/Bad.cpp", '#include "sysinfo/Cpu.h"\n', "game/ must not include sysinfo/"),
            ("sysinfo/Bad.cpp", '#include "media/zkD3D.h"\n', "sysinfo/ uses foundation/ and platform/ only"),
            ("installer/Bad.cpp", '#include "platform/system/Files.h"\n', "installer/ includes only header-only"),
            ("installer/Bad.cpp", '#include "foundation/Log.h"\n', "installer/ includes only header-only"),
        ]
        base = {
            "platform/system/Files.h": "",
            "platform/system/Files.cpp": "",
        }
        for name, text, message in cases:
            with self.subTest(file=name, include=text.strip()):
                code, out = self.run_on({**base, name: "// a unit\n" + text})
                self.assertEqual(code, 1, out)
                self.assertIn(f"{name}:2: ", out)
                self.assertIn(message, out)
                self.assertIn("1 wrong includes", out)


if __name__ == "__main__":
    unittest.main()
