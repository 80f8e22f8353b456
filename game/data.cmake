# The game's data: the readers of level, scenery, boundaries, environment,
# input and recorded streams, and the creature-type table. Platform-free.
add_library(qv_game_data STATIC
    ${CMAKE_CURRENT_LIST_DIR}/qv3CreatureTypes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3Input.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3LevelData.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3RecordedLevel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3ScenarioConfig.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3ScenarioData.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qv3SpriteBoundaries.cpp)
target_link_libraries(qv_game_data PUBLIC qv_options qv_foundation qv_media_geometry)

# The scenario resource manager over the resource packs.
add_library(qv_game_resources STATIC ${CMAKE_CURRENT_LIST_DIR}/qv3Resources.cpp)
target_link_libraries(qv_game_resources PUBLIC qv_game_data qv_media_render PRIVATE qv_platform_resources qv_platform_system)
