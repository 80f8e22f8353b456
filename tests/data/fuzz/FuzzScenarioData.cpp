// Hostile scenery files: a scenery that loads is scrolled forwards,
// backwards and past its loop.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/BinaryIO.h"
#include "game/data/qv3DataError.h"
#include "game/data/qv3ScenarioData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qv::TSpriteBoundaries boundaries = [] {
        qv::TSpriteBoundaries b;
        b.Load(qv::WriteSpriteBoundaries(
            0, std::vector<qv::TSpriteBoundary>{{0, 0, 0, 100, 50}, {1, 10, 20, 70, 90}, {2, 50, 50, 10, 10}}));
        return b;
    }();
    try {
        qv::TScenarioDataReader scenery(std::span<const std::uint8_t>(data, size), boundaries);
        const float positions[] = {0, 799, 3200, 100, 1e7f, -5, 12345.5f, 3e38f, 64000};
        for (float p : positions) {
            scenery.SetPosition(p);
            const qv::TBackgroundView view = scenery.GetBackgrounds();
            if (!view.Current || !view.Next || view.Offset < 0 || view.Offset >= 800) __builtin_trap();
            for (int layer = 0; layer < qv::kSceneryLayerCount; ++layer) {
                const auto& items = scenery.Layer(layer).Items;
                for (std::int32_t i : scenery.ActiveItems(layer))
                    if (i < 0 || static_cast<std::size_t>(i) >= items.size()) __builtin_trap();
            }
        }
    } catch (const qv::EDataError&) {
    } catch (const qv::EBinaryError&) {
    }
    return 0;
}
