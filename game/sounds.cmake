# The game's sound set on the sound object.
add_library(qv_game_sounds STATIC ${CMAKE_CURRENT_LIST_DIR}/qv3Sounds.cpp)
target_link_libraries(qv_game_sounds PUBLIC qv_options qv_foundation qv_game_resources qv_media_sound PRIVATE qv_platform_system)
