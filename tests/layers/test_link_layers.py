#!/usr/bin/env python3
"""The link check of cmake/Layers.cmake on small projects made here: a
library linking one of a layer above stops the configuration and is named;
links down the order, and programs linking anything, pass."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

LAYERS = pathlib.Path(__file__).resolve().parents[2] / "cmake" / "Layers.cmake"


class LinkLayersTest(unittest.TestCase):
    def configure(self, links):
        """links: {folder: (target, type, [linked targets])}"""
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            top = ["cmake_minimum_required(VERSION 3.25)", "project(T LANGUAGES C)",
                   f'include("{LAYERS}")']
            for sub, (target, kind, used) in links.items():
                path = root / sub
                path.mkdir(parents=True, exist_ok=True)
                (path / "a.c").write_text("")
                body = f"add_{kind}({target} {'STATIC ' if kind == 'library' else ''}a.c)\n"
                if used:
                    body += f"target_link_libraries({target} PRIVATE {' '.join(used)})\n"
                (path / "CMakeLists.txt").write_text(body)
                top.append(f"add_subdirectory({sub})")
            top.append("qv_check_layers()")
            (root / "CMakeLists.txt").write_text("\n".join(top) + "\n")
            run = subprocess.run(["cmake", "-S", str(root), "-B", str(root / "build")],
                                 capture_output=True, text=True)
            return run.returncode, run.stdout + run.stderr

    def test_links_down_the_order_pass(self):
        code, out = self.configure({
            "platform/system": ("p", "library", []),
            "foundation": ("f", "library", ["p"]),
            "game/data": ("gd", "library", ["f"]),
            "game/core": ("gc", "library", ["gd", "f"]),
            "sysinfo": ("s", "library", ["f", "p"]),
            "frontend": ("fe", "library", ["gc", "s"]),
            "multiplayer": ("mp", "library", ["fe"]),
            # The program sits on top of everything.
            "frontend/main": ("prog", "executable", ["mp", "fe"]),
        })
        self.assertEqual(code, 0, out)

    def test_links_up_the_order_are_named(self):
        for links, named in [
            ({"foundation": ("f", "library", ["gl"]), "game/logic": ("gl", "library", [])},
             "f (", ),
            ({"game/data": ("gd", "library", ["gl"]), "game/logic": ("gl", "library", [])},
             "gd (", ),
            ({"game/core": ("gc", "library", ["s"]), "sysinfo": ("s", "library", [])},
             "gc (", ),
            ({"sysinfo": ("s", "library", ["fe"]), "frontend": ("fe", "library", [])},
             "s (", ),
            ({"installer": ("i", "library", ["f"]), "foundation": ("f", "library", [])},
             "the installer links nothing", ),
        ]:
            with self.subTest(named=named):
                code, out = self.configure(links)
                self.assertNotEqual(code, 0, out)
                self.assertIn("Layer order broken", out)
                self.assertIn(named[0], out)


if __name__ == "__main__":
    unittest.main()
