#include <gtest/gtest.h>

#include <filesystem>

#include "sysinfo/MSI_Media.h"
#include "tests/sysinfo/SysFixture.h"

namespace qv {
namespace {

using Strings = std::vector<std::string>;

// Four cards: one without a location, two alike, and a game port.
void BuildSoundCards(test::SysFixture& fx) {
    fx.Write("/proc/asound/cards",
             " 0 [Virtual        ]: Dummy - Virtual Sound\n"
             "                      Virtual Sound\n"
             " 1 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
             "                      Real Card\n"
             " 2 [Game           ]: GamePort - Game Port\n"
             "                      Creative game port\n"
             " 3 [PCH_1          ]: HDA-Intel - HDA Intel PCH\n"
             "                      real card\n");
    for (int i = 0; i < 4; ++i) {
        const std::string card = "/sys/class/sound/card" + std::to_string(i);
        fx.Write(card + "/id", "x\n");
        if (i > 0) fx.Link(card + "/subsystem", "../../../class/sound");
    }
    fx.Write("/proc/asound/version", "Advanced Linux Sound Architecture Driver Version k5.10.0-19-amd64.\n");
    fx.Write("/proc/asound/pcm",
             "01-00: ALC887-VD Analog : ALC887-VD Analog : playback 1 : capture 1\n"
             "01-03: HDMI 0 : HDMI 0 : playback 1\n"
             "03-00: alc887-vd analog : ALC887-VD Analog : playback 1\n"
             "broken line\n");
    fx.Write("/proc/asound/card1/midi0", "Real MIDI\n\nOutput 0\n  Tx bytes     : 0\nInput 0\n  Rx bytes     : 0\n");
}

TEST(MediaTest, CardsIndexesAndCapabilityLists) {
    test::SysFixture fx;
    BuildSoundCards(fx);
    TMedia media(fx.Source());
    media.GetInfo();
    EXPECT_EQ(media.Devices, (Strings{"Virtual Sound", "Real Card", "Creative game port", "real card"}));
    EXPECT_EQ(media.SoundCardIndex, 1);  // card 0 has no location
    EXPECT_EQ(media.GamePortIndex, 2);
    EXPECT_EQ(media.WAVEOut, (Strings{"ALC887-VD Analog v5.10", "HDMI 0 v5.10"}));
    EXPECT_EQ(media.WAVEIn, (Strings{"ALC887-VD Analog v5.10"}));
    EXPECT_EQ(media.MIDIOut, (Strings{"Real MIDI v5.10"}));
    EXPECT_EQ(media.MIDIIn, (Strings{"Real MIDI v5.10"}));
    EXPECT_EQ(media.Mixer, (Strings{"Virtual Sound v5.10", "HDA Intel PCH v5.10", "Game Port v5.10"}));
    EXPECT_TRUE(media.AUX.empty());

    // A second refresh adds nothing; a card that went away leaves its entries.
    fx.Write("/proc/asound/pcm", "01-00: Other : Other : playback 1\n");
    media.GetInfo();
    EXPECT_EQ(media.Devices.size(), 4u);
    EXPECT_EQ(media.WAVEOut, (Strings{"ALC887-VD Analog v5.10", "HDMI 0 v5.10", "Other v5.10"}));
    EXPECT_EQ(media.Mixer.size(), 3u);
}

TEST(MediaTest, SameNamesResolveToTheFirst) {
    test::SysFixture fx;
    BuildSoundCards(fx);
    // Card 1 loses its location: the later card of the same name is found
    // at the first one's index.
    std::filesystem::remove(fx.Source().PathOf("/sys/class/sound/card1/subsystem"));
    TMedia media(fx.Source());
    media.GetInfo();
    EXPECT_EQ(media.SoundCardIndex, 1);
    EXPECT_EQ(media.Devices[3], "real card");
}

TEST(MediaTest, DesktopCardAndEmptyTree) {
    test::SysFixture desktop;
    desktop.BuildDesktop();
    TMedia media(desktop.Source());
    media.GetInfo();
    EXPECT_EQ(media.Devices, (Strings{"HDA Intel PCH at 0x6001110000 irq 163"}));
    EXPECT_EQ(media.SoundCardIndex, 0);
    EXPECT_EQ(media.GamePortIndex, -1);
    EXPECT_EQ(media.Mixer, (Strings{"HDA Intel PCH v0.0"}));  // no version file

    test::SysFixture empty;
    TMedia none(empty.Source());
    none.GetInfo();
    EXPECT_TRUE(none.Devices.empty() && none.WAVEOut.empty() && none.Mixer.empty());
    EXPECT_EQ(none.SoundCardIndex, -1);
    EXPECT_EQ(none.GamePortIndex, -1);
}

}  // namespace
}  // namespace qv
