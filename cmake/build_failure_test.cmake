# A test that a check made when the program is built does fail: it builds a target of its own from
# the sources given against a copy of one of the project's files with one text replaced, and passes
# only when that build fails with the message expected. The copy comes first on the include path.
#   quorvanex_add_build_failure_test(NAME [SHARED] FILE path/in/project.h REPLACE text WITH text
#       SOURCES ... [LINK target ...] [LINK_OPTIONS ...] EXPECT regex)
function(quorvanex_add_build_failure_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "SHARED" "FILE;REPLACE;WITH;EXPECT"
                          "SOURCES;LINK;LINK_OPTIONS")
    set(original_file ${PROJECT_SOURCE_DIR}/${arg_FILE})
    file(READ ${original_file} original)
    string(REPLACE "${arg_REPLACE}" "${arg_WITH}" changed "${original}")
    if(changed STREQUAL original)
        message(FATAL_ERROR "${name}: '${arg_REPLACE}' is no longer in ${arg_FILE}")
    endif()
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/${name}/${arg_FILE})
    # Written only when it changes, so that configuring again rebuilds nothing.
    set(written "")
    if(EXISTS ${copy})
        file(READ ${copy} written)
    endif()
    if(NOT written STREQUAL changed)
        file(WRITE ${copy} "${changed}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${original_file})

    if(arg_SHARED)
        add_library(${name} SHARED EXCLUDE_FROM_ALL ${arg_SOURCES})
    else()
        add_library(${name} OBJECT EXCLUDE_FROM_ALL ${arg_SOURCES})
    endif()
    target_include_directories(${name} BEFORE PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name})
    # The headers that the folder's build makes (the tests' list of text lists).
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
    target_link_libraries(${name} PRIVATE ${arg_LINK})
    target_link_options(${name} PRIVATE ${arg_LINK_OPTIONS})
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${name})
    # Alone: it runs the build tool in the build folder.
    set_tests_properties(${name} PROPERTIES LABELS checks RUN_SERIAL TRUE
                         PASS_REGULAR_EXPRESSION "${arg_EXPECT}")
endfunction()
