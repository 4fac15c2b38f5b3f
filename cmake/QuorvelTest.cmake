# quorvel_add_test(<name> SOURCES <files...> [GUI] [LABELS <labels...>] [TIMEOUT <s>])
# One Qt Test executable registered with CTest; GUI tests link the windows and run offscreen.
function(quorvel_add_test name)
    cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE quorvel_test_support Qt6::Test)
    if(T_GUI)
        target_link_libraries(${name} PRIVATE quorvel_gui)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        LABELS "${T_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUORVEL_KEYRING=off;QUORVEL_SOURCE_DIR=${PROJECT_SOURCE_DIR};QUORVEL_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
