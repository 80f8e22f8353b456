#include "tests/sysinfo/SysFixture.h"

#include <filesystem>

namespace qv::test {

namespace fs = std::filesystem;

SysFixture::SysFixture() : source_(dir_.Path()) {
    source_.GetEnv = [this](const std::string& name) -> std::optional<std::string> {
        auto it = Env.find(name);
        if (it == Env.end()) return std::nullopt;
        return it->second;
    };
    source_.Environment = [this] {
        if (!EnvBlock.empty()) return EnvBlock;
        std::vector<std::string> block;
        for (const auto& [name, value] : Env) block.push_back(name + "=" + value);
        return block;
    };
    source_.UserName = [] { return std::string("player"); };
    source_.StatFs = [](const std::string&) -> std::optional<sysinfo::TFsStats> { return std::nullopt; };
    source_.Interfaces = [] { return std::vector<sysinfo::TNetInterface>{}; };
    source_.Printers = [] { return std::vector<sysinfo::TPrinterDest>{}; };
    source_.Now = [] { return 1'700'000'000.0; };
    source_.PageSize = [] { return std::int64_t{4096}; };
    source_.AddressSpaceLimit = [] { return std::uint64_t{0}; };
    source_.GraphicsRuntime = [] { return sysinfo::TGraphicsRuntime{}; };
    source_.Screen = [] { return sysinfo::TScreenInfo{}; };
    source_.Cpuid = [](std::uint32_t, std::uint32_t) { return sysinfo::TCpuidRegs{}; };
    source_.ReadTsc = [] { return std::uint64_t{0}; };
}

void SysFixture::Write(const std::string& machinePath, const std::string& contents) {
    dir_.Write(machinePath.substr(1), contents);
}

void SysFixture::MakeDir(const std::string& machinePath) { fs::create_directories(source_.PathOf(machinePath)); }

void SysFixture::Link(const std::string& machinePath, const std::string& target) {
    const fs::path link = source_.PathOf(machinePath);
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
}

void SysFixture::BuildDesktop() {
    Write("/proc/meminfo",
          "MemTotal:       16318424 kB\n"
          "MemFree:         1212340 kB\n"
          "MemAvailable:   12058044 kB\n"
          "Buffers:          412016 kB\n"
          "Cached:          9876544 kB\n"
          "CommitLimit:    24379500 kB\n"
          "Committed_AS:   14230200 kB\n"
          "HugePages_Total:       0\n");
    Write("/proc/self/status", "Name:\tquorvex\nVmPeak:\t  300000 kB\nVmSize:\t  262144 kB\nVmRSS:\t  51200 kB\n");
    Write("/proc/sys/vm/mmap_min_addr", "65536\n");
    Write("/proc/uptime", "93784.25 370000.10\n");
    Write("/proc/sys/kernel/hostname", "deskbox\n");
    Write("/proc/sys/kernel/ostype", "Linux\n");
    Write("/proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
    Write("/etc/os-release",
          "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
          "VERSION_ID=\"12\"\nVERSION_CODENAME=bookworm\nID=debian\n");

    // Firmware and the machine itself.
    Write("/sys/devices/virtual/dmi/id/bios_vendor", "Acorn Firmware Ltd.\n");
    Write("/sys/devices/virtual/dmi/id/bios_version", "F.42\n");
    Write("/sys/devices/virtual/dmi/id/bios_date", "03/14/2023\n");
    Write("/sys/devices/virtual/dmi/id/sys_vendor", "Lindqvist Computers\n");
    Write("/sys/devices/virtual/dmi/id/product_name", "Tower 5\n");
    Link("/sys/class/dmi/id", "../../devices/virtual/dmi/id");

    // The graphics card (boot display) with its driver and module.
    const std::string gpu = "/sys/devices/pci0000:00/0000:00:02.0";
    Write(gpu + "/class", "0x030000\n");
    Write(gpu + "/vendor", "0x8086\n");
    Write(gpu + "/device", "0x4680\n");
    Write(gpu + "/modalias", "pci:v00008086d00004680sv00001043sd00008882bc03sc00i00\n");
    Write(gpu + "/boot_vga", "1\n");
    Link(gpu + "/subsystem", "../../../bus/pci");
    MakeDir("/sys/bus/pci/drivers/i915");
    Link("/sys/bus/pci/drivers/i915/module", "../../../../module/i915");
    MakeDir("/sys/module/i915");
    Link(gpu + "/driver", "../../../bus/pci/drivers/i915");
    Link("/sys/bus/pci/devices/0000:00:02.0", "../../../devices/pci0000:00/0000:00:02.0");
    Write("/run/udev/data/+pci:0000:00:02.0",
          "E:ID_VENDOR_FROM_DATABASE=Intel Corporation\nE:ID_MODEL_FROM_DATABASE=AlderLake-S GT1\n"
          "E:ID_PATH=pci-0000:00:02.0\n");

    // The sound card: a PCI audio device with an ALSA card below it.
    const std::string hda = "/sys/devices/pci0000:00/0000:00:1f.3";
    Write(hda + "/class", "0x040380\n");
    Write(hda + "/vendor", "0x8086\n");
    Write(hda + "/device", "0x7ad0\n");
    Write(hda + "/modalias", "pci:v00008086d00007AD0sv00001043sd00008882bc04sc03i80\n");
    Link(hda + "/subsystem", "../../../bus/pci");
    MakeDir("/sys/bus/pci/drivers/snd_hda_intel");
    Link("/sys/bus/pci/drivers/snd_hda_intel/module", "../../../../module/snd_hda_intel");
    Write("/sys/module/snd_hda_intel/version", "0.9.1\n");
    Link(hda + "/driver", "../../../bus/pci/drivers/snd_hda_intel");
    Link("/sys/bus/pci/devices/0000:00:1f.3", "../../../devices/pci0000:00/0000:00:1f.3");
    Write(hda + "/sound/card0/id", "PCH\n");
    Link(hda + "/sound/card0/device", "../../../0000:00:1f.3");
    Link(hda + "/sound/card0/subsystem", "../../../../../class/sound");
    Link("/sys/class/sound/card0", "../../devices/pci0000:00/0000:00:1f.3/sound/card0");
    Write("/proc/asound/cards",
          " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
          "                      HDA Intel PCH at 0x6001110000 irq 163\n");

    // A wired network card and the loopback interface.
    const std::string nic = "/sys/devices/pci0000:00/0000:00:1f.6";
    Write(nic + "/class", "0x020000\n");
    Write(nic + "/vendor", "0x8086\n");
    Write(nic + "/device", "0x1a1c\n");
    Link(nic + "/subsystem", "../../../bus/pci");
    Link("/sys/bus/pci/devices/0000:00:1f.6", "../../../devices/pci0000:00/0000:00:1f.6");
    Write(nic + "/net/eno1/ifindex", "2\n");
    Link(nic + "/net/eno1/device", "../../../0000:00:1f.6");
    Link(nic + "/net/eno1/subsystem", "../../../../../class/net");
    Link("/sys/class/net/eno1", "../../devices/pci0000:00/0000:00:1f.6/net/eno1");
    Write("/sys/devices/virtual/net/lo/ifindex", "1\n");
    Link("/sys/class/net/lo", "../../devices/virtual/net/lo");
    Write("/run/udev/data/n2", "E:ID_MODEL_FROM_DATABASE=Ethernet Connection (17) I219-LM\nE:ID_PATH=pci-0000:00:1f.6\n");

    // A disk with one partition, a loop device without hardware.
    const std::string nvme = "/sys/devices/pci0000:00/0000:00:06.0/nvme/nvme0";
    Write(nvme + "/model", "Orbis SSD 1TB\n");
    Write(nvme + "/nvme0n1/dev", "259:0\n");
    Write(nvme + "/nvme0n1/removable", "0\n");
    Link(nvme + "/nvme0n1/device", "../../nvme0");
    Write(nvme + "/nvme0n1/nvme0n1p1/partition", "1\n");
    Write(nvme + "/nvme0n1/nvme0n1p1/dev", "259:1\n");
    Link("/sys/class/block/nvme0n1", "../../devices/pci0000:00/0000:00:06.0/nvme/nvme0/nvme0n1");
    Link("/sys/class/block/nvme0n1p1", "../../devices/pci0000:00/0000:00:06.0/nvme/nvme0/nvme0n1/nvme0n1p1");
    Link("/sys/block/nvme0n1", "../devices/pci0000:00/0000:00:06.0/nvme/nvme0/nvme0n1");
    Write("/sys/devices/virtual/block/loop0/dev", "7:0\n");
    Link("/sys/class/block/loop0", "../../devices/virtual/block/loop0");
    Write("/dev/nvme0n1p1", "");
    MakeDir("/dev/disk/by-label");
    Link("/dev/disk/by-label/Main\\x20Disk", "../../nvme0n1p1");

    // Keyboard LEDs: Num Lock lit.
    Write("/sys/class/leds/input3::numlock/brightness", "1\n");
    Write("/sys/class/leds/input3::capslock/brightness", "0\n");
    Write("/sys/class/leds/input3::scrolllock/brightness", "0\n");

    // Mounts.
    Write("/proc/self/mounts",
          "/dev/nvme0n1p1 / ext4 rw,relatime 0 0\n"
          "proc /proc proc rw 0 0\n"
          "tmpfs /run tmpfs rw 0 0\n"
          "server:/export /mnt/share nfs4 rw 0 0\n"
          "/dev/sr0 /media/cd\\040rom iso9660 ro 0 0\n");
    MakeDir("/run");
    MakeDir("/mnt/share");
    MakeDir("/media/cd rom");

    // The user's folders and MIME defaults.
    Env["HOME"] = "/home/player";
    Env["PATH"] = "/usr/bin:/bin";
    Write("/home/player/.config/user-dirs.dirs",
          "# written by xdg-user-dirs-update\n"
          "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
          "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    Write("/home/player/.config/mimeapps.list",
          "[Default Applications]\nx-scheme-handler/http=webber.desktop;\n"
          "x-scheme-handler/mailto=postbote.desktop\n");
    Write("/usr/share/applications/webber.desktop",
          "[Desktop Entry]\nName=Webber\nExec=webber --new-window %u\nType=Application\n");
    Write("/usr/share/applications/postbote.desktop",
          "[Desktop Entry]\nName=Postbote\nExec=\"/opt/post bote/postbote\" --compose %U\n");
    Write("/usr/bin/webber", "");
    Write("/opt/post bote/postbote", "");
}

}  // namespace qv::test
