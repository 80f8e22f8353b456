# qv_add_subdirectories(): adds every direct sub-folder of the current source
# folder that has a CMakeLists.txt, and includes every *.cmake file in it, in
# name order. Areas of the tree plug in by adding files, never by editing a
# shared list.
macro(qv_add_subdirectories)
    file(GLOB _qv_children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
         CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT _qv_children)
    foreach(_qv_child IN LISTS _qv_children)
        if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_qv_child}
           AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_qv_child}/CMakeLists.txt)
            add_subdirectory(${_qv_child})
        endif()
    endforeach()
    file(GLOB _qv_fragments CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
    list(SORT _qv_fragments)
    foreach(_qv_fragment IN LISTS _qv_fragments)
        include(${_qv_fragment})
    endforeach()
endmacro()
