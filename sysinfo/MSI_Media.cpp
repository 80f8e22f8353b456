#include "sysinfo/MSI_Media.h"

#include <cctype>
#include <optional>

#include "foundation/TextUtil.h"
#include "sysinfo/MSI_Devices.h"

namespace qv {

using sysinfo::TrimBlanks;

namespace {

void AddOnce(std::vector<std::string>& list, const std::string& text) {
    for (const std::string& entry : list)
        if (SameTextNoCase(entry, text)) return;
    list.push_back(text);
}

// " v6.1" from "Advanced Linux Sound Architecture Driver Version k6.1.0."
std::string DriverVersionText(const TSysSource& source) {
    const std::string line = source.ReadLine("/proc/asound/version");
    int major = 0, minor = 0;
    const std::size_t at = line.find("Version ");
    if (at != std::string::npos) {
        std::size_t i = at + 8;
        while (i < line.size() && !std::isdigit(static_cast<unsigned char>(line[i])) && line[i] != ' ') ++i;
        // At most three digits a part.
        auto number = [&](int& out) {
            const std::size_t start = i;
            while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])) && i - start < 3) ++i;
            out = sysinfo::ParseNumber<int>(std::string_view(line).substr(start, i - start)).value_or(0);
        };
        number(major);
        if (i < line.size() && line[i] == '.') {
            ++i;
            number(minor);
        }
    }
    // The capability records held the version as two bytes.
    return " v" + std::to_string(major & 0xFF) + "." + std::to_string(minor & 0xFF);
}

// A device name as the 32-byte name field held it.
std::string DeviceName(std::string name) {
    name = TrimBlanks(name);
    if (name.size() > 31) name.resize(31);
    return name;
}

}  // namespace

void TMedia::GetInfo() {
    const TSysSource& source = Source();
    Devices.clear();
    SoundCardIndex = -1;
    GamePortIndex = -1;

    TDevices devices(source);
    devices.GetInfo();
    for (std::int32_t i = 0; i < devices.DeviceCount(); ++i) {
        TDevice device;
        devices.GetDevice(i, device);
        if (device.DeviceClass != kDeviceClassMedia) continue;
        const std::string name = device.FriendlyName.empty() ? device.Description : device.FriendlyName;
        Devices.push_back(name);
        std::int32_t first = 0;
        while (!SameTextNoCase(Devices[static_cast<std::size_t>(first)], name)) ++first;
        if (UpperAscii(name).find("GAME") != std::string::npos) {
            GamePortIndex = first;
        } else if (!device.Location.empty() && SoundCardIndex == -1) {
            SoundCardIndex = first;
        }
    }

    const std::string version = DriverVersionText(source);
    // "00-00: ALC887-VD Analog : ALC887-VD Analog : playback 1 : capture 1"
    if (std::optional<std::string> pcm = source.ReadText("/proc/asound/pcm")) {
        for (const std::string& line : SplitLines(*pcm)) {
            std::vector<std::string> fields;
            std::size_t at = 0;
            while (at <= line.size()) {
                std::size_t end = line.find(" : ", at);
                if (end == std::string::npos) end = line.size();
                fields.push_back(TrimBlanks(std::string_view(line).substr(at, end - at)));
                at = end + 3;
            }
            if (fields.size() < 3) continue;
            const std::string name = DeviceName(fields[1]);
            if (name.empty()) continue;
            for (std::size_t f = 2; f < fields.size(); ++f) {
                if (fields[f].rfind("playback", 0) == 0) AddOnce(WAVEOut, name + version);
                if (fields[f].rfind("capture", 0) == 0) AddOnce(WAVEIn, name + version);
            }
        }
    }

    const std::vector<sysinfo::TAlsaCard> cards =
        sysinfo::ParseAlsaCards(source.ReadText("/proc/asound/cards").value_or(""));
    for (const sysinfo::TAlsaCard& card : cards) {
        const std::string folder = "/proc/asound/card" + std::to_string(card.Index);
        for (const std::string& entry : source.ListDir(folder)) {
            if (entry.rfind("midi", 0) != 0) continue;
            std::optional<std::string> text = source.ReadText(folder + "/" + entry, 64 * 1024);
            if (!text) continue;
            const std::vector<std::string> lines = SplitLines(*text);
            if (lines.empty()) continue;
            const std::string name = DeviceName(lines[0]);
            if (name.empty()) continue;
            for (const std::string& line : lines) {
                if (line.rfind("Output", 0) == 0) AddOnce(MIDIOut, name + version);
                if (line.rfind("Input", 0) == 0) AddOnce(MIDIIn, name + version);
            }
        }
        const std::string mixer = DeviceName(card.ShortName.empty() ? card.Id : card.ShortName);
        if (!mixer.empty()) AddOnce(Mixer, mixer + version);
    }
}

}  // namespace qv
