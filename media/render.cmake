# The renderer library: Direct3D object, adapters and device, textures, the
# quad renderer and sprites, and the picture loader.
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)

add_library(qv_media_render STATIC
    ${CMAKE_CURRENT_LIST_DIR}/zkD3D.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zkD3DErrors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zkD3DQuadRenderer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zkD3DTextures.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zkDisplayMode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zkImageLoader.cpp)
target_link_libraries(qv_media_render
    PUBLIC qv_options qv_foundation qv_platform_render qv_media_geometry
    PRIVATE PNG::PNG JPEG::JPEG)
