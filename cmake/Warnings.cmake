# Compiler flags shared by every target of the project.
add_library(qv_options INTERFACE)
target_compile_options(qv_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Wcast-align -Woverloaded-virtual -Wformat=2
    -Wimplicit-fallthrough
    -ffp-contract=off)
# Our code builds without warnings: every target of the project links
# qv_options, so they all turn warnings into errors. Headers of Qt, GTest and
# the other libraries come in through their imported targets as system
# includes, where the compiler reports nothing.
option(QUORVEX_WERROR "Treat warnings in the project's own code as errors" ON)
if(QUORVEX_WERROR)
    target_compile_options(qv_options INTERFACE -Werror)
endif()
target_include_directories(qv_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_definitions(qv_options INTERFACE
    QUORVEX_VERSION_STRING="${PROJECT_VERSION}"
    QUORVEX_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    QUORVEX_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    QUORVEX_VERSION_PATCH=${PROJECT_VERSION_PATCH})
