// Sound devices: the sound cards by name, which of them is the sound card
// and which a game port, and the PCM, MIDI and mixer devices ALSA lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sysinfo/MSI_Common.h"

namespace qv {

class TMedia : public TInfoObject {
public:
    explicit TMedia(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TMedia"; }
    void GetInfo() override;

    // Names of the sound devices, in device-list order.
    std::vector<std::string> Devices;
    // "name vMAJOR.MINOR" per device, never cleared, each text once.
    std::vector<std::string> AUX;  // no counterpart: stays empty
    std::vector<std::string> MIDIIn;
    std::vector<std::string> Mixer;
    std::vector<std::string> WAVEOut;
    std::vector<std::string> WAVEIn;
    std::vector<std::string> MIDIOut;
    std::int32_t SoundCardIndex = -1;
    std::int32_t GamePortIndex = -1;
};

}  // namespace qv
