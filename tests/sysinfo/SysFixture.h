// Machine trees for the inventory's tests, built by code under a
// temporary folder: an empty one and a desktop-like one.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/sysinfo/SysSource.h"
#include "tests/support/TempDir.h"

namespace qv::test {

class SysFixture {
public:
    SysFixture();

    // A source reading this tree, with every hook replaced by a fixed
    // answer: the environment below, user "player", no network interfaces,
    // no file-system statistics, no printers, a fixed clock, no graphics
    // runtime, no screen.
    sysinfo::TSysSource& Source() { return source_; }
    const std::string& Root() const { return dir_.Path(); }

    // Writes a file at a machine path ("/proc/meminfo").
    void Write(const std::string& machinePath, const std::string& contents);
    // Makes a folder at a machine path.
    void MakeDir(const std::string& machinePath);
    // Makes a symbolic link at a machine path pointing at `target` as given.
    void Link(const std::string& machinePath, const std::string& target);

    // The environment the source reports (GetEnv and Environment).
    std::map<std::string, std::string> Env;
    std::vector<std::string> EnvBlock;  // when empty, built from Env

    // Fills the tree like a desktop machine: /proc, DMI, a PCI graphics
    // card and sound card, network, a disk with a partition, LEDs, udev
    // data, os-release, XDG folders and MIME defaults.
    void BuildDesktop();

private:
    TempDir dir_;
    sysinfo::TSysSource source_;
};

}  // namespace qv::test
