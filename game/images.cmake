# The game's image set: textures, sprites, full-screen pictures and text.
add_library(qv_game_images STATIC ${CMAKE_CURRENT_LIST_DIR}/qv3Graphics.cpp)
target_link_libraries(qv_game_images
    PUBLIC qv_options qv_media_render qv_game_data qv_game_resources qv_foundation)
