# The keyboard library: DirectInput object, devices and the system keyboard.
add_library(qv_media_input STATIC
    ${CMAKE_CURRENT_LIST_DIR}/zkDInput.cpp)
target_link_libraries(qv_media_input PUBLIC qv_options qv_foundation qv_platform_input)
