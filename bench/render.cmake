# Drawing speed on the offscreen GL renderer and the image set's load time.
find_package(SDL2 REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
qv_add_bench(bench_render
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/RenderBench.cpp
    LIBS qv_game_images qv_media_render qv_platform_resources SDL2::SDL2 PNG::PNG JPEG::JPEG)
