# Geometric helpers of the renderer that the game's data readers share: the
# sorted integer list and the corners of a scaled, rotated quad.
add_library(qv_media_geometry STATIC ${CMAKE_CURRENT_LIST_DIR}/zkGeometry.cpp)
target_link_libraries(qv_media_geometry PUBLIC qv_options qv_foundation)
