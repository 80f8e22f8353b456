# The game core: the scene and its decorative elements, the frame clock, the
# input sampler, the core's rules, the state machine with its screens, and
# screenshots.
add_library(qv_game_core STATIC
    ${CMAKE_CURRENT_LIST_DIR}/qv3CoreRules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3FrameClock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3GameCore.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3GameElements.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3GameScreens.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3InputSampler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3Scene.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3Snapshot.cpp)
target_link_libraries(qv_game_core
    PUBLIC qv_options qv_game_logic qv_game_data qv_game_images qv_game_sounds qv_game_resources
           qv_media_render qv_media_input qv_platform_window qv_platform_system qv_foundation)

# The game window and its frame loop.
find_package(SDL2 REQUIRED)
add_library(qv_game_window STATIC ${CMAKE_CURRENT_LIST_DIR}/qv3GameWindow.cpp)
target_link_libraries(qv_game_window
    PUBLIC qv_options qv_game_core qv_media_render qv_media_input qv_media_sound qv_media_timer qv_platform_window
    PRIVATE SDL2::SDL2)
