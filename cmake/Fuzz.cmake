# qv_add_fuzzer(<name> SOURCES ... LIBS ...): a libFuzzer program fuzz_<name>,
# built only with QUORVEX_FUZZ (clang, the sanitizer tree). ./test.sh runs
# every fuzz_* program for a few seconds, starting from the seed files in
# tests/fuzz/corpus/<name>/ when that folder exists.
function(qv_add_fuzzer name)
    if(NOT QUORVEX_FUZZ)
        return()
    endif()
    cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(fuzz_${name} ${F_SOURCES})
    target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_${name} PRIVATE qv_options ${F_LIBS})
endfunction()
