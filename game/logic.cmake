# The game rules: the level logic and its sprites, and the replay packs.
# Platform-free: the game data readers and foundation only. Built without
# floating-point contraction (qv_options), so a recorded level replays the
# same on every machine.
add_library(qv_game_logic STATIC
    ${CMAKE_CURRENT_LIST_DIR}/qv3GameLogic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3LogicCreatures.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3LogicMath.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3LogicSprites.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3ReplayPack.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3SplitterPaths.cpp)
target_link_libraries(qv_game_logic PUBLIC qv_options qv_game_data qv_foundation)
