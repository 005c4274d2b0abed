# The layering of the README's layout table, kept by the build rather than by
# good intentions. Each folder of the table is one target, declared a layer
# with the layers it may use; a layer links exactly those, and before any of
# its sources is compiled the build checks every #include of the folder's
# files: one that the compiler would find in a folder the layer may not use
# fails the build, naming the file, the include and the rule.
#
# The check resolves an include as the compiler does, against the including
# file's own folder (for the quoted form) and then the include directories
# the target is compiled with, so whatever spelling reaches the other folder
# ("wizard/x.h", "../wizard/x.h", <wizard/x.h>, a bare name through another
# target's include directory) is caught. An include found nowhere in the
# source tree (the system's headers, generated files) is the compiler's
# business. It runs as `cmake -P`, so it works with every generator and
# compiler alike.
#
#   orvane_layer(TARGET FOLDER DIR [USES LAYER...])
#
# DIR is the folder the layer's files are in (all of them, headers
# included); USES names the layers below it that it may use, which it then
# links (PUBLIC; INTERFACE for a header-only layer). What a layer may use is
# what its USES may use, and their folders: the table's "everything below".
# Other libraries (the system's, threads) are linked as usual. A layer's
# other targets (the exe or DLL around its library) link the layer and add
# nothing of the project, so the one check covers the whole folder.
include_guard(GLOBAL)

set(ORVANE_LAYERING_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_layering.cmake)

function(orvane_layer target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "USES")
    if(NOT arg_FOLDER OR arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "orvane_layer(${target} FOLDER DIR [USES LAYER...])")
    endif()
    get_filename_component(folder "${arg_FOLDER}" ABSOLUTE)
    set(allowed "${folder}")
    foreach(used IN LISTS arg_USES)
        if(NOT TARGET ${used})
            message(FATAL_ERROR "${target} uses ${used}, which is no target")
        endif()
        get_property(used_allowed TARGET ${used} PROPERTY ORVANE_LAYER_ALLOWS)
        if(NOT used_allowed)
            message(FATAL_ERROR "${target} uses ${used}, which is not a layer declared before it")
        endif()
        list(APPEND allowed ${used_allowed})
    endforeach()
    list(REMOVE_DUPLICATES allowed)
    set_property(TARGET ${target} PROPERTY ORVANE_LAYER_ALLOWS "${allowed}")

    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        set(scope INTERFACE)
        set(include_dirs INTERFACE_INCLUDE_DIRECTORIES)
    else()
        set(scope PUBLIC)
        set(include_dirs INCLUDE_DIRECTORIES)
    endif()
    if(arg_USES)
        target_link_libraries(${target} ${scope} ${arg_USES})
    endif()
    _orvane_check_layer_includes(${target} "${folder}" "${allowed}" ${include_dirs})
endfunction()

# The check as a step of the target's own build: its stamp is one of the
# target's sources, so the compiler runs only once the check has passed.
function(_orvane_check_layer_includes target folder allowed include_dirs)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS
         ${folder}/*.h ${folder}/*.hpp ${folder}/*.c ${folder}/*.cpp ${folder}/*.rc ${folder}/*.in)
    # Lists travel to the script joined by "|": a ";" would split the argument.
    string(REPLACE ";" "|" allowed_arg "${allowed}")
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.layering)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND}
            -D "FOLDER=${folder}"
            -D "ALLOWED=${allowed_arg}"
            -D "INCLUDE_DIRS=$<JOIN:$<TARGET_PROPERTY:${target},${include_dirs}>,|>"
            -D "SOURCE_ROOT=${PROJECT_SOURCE_DIR}"
            -D "BINARY_ROOT=${PROJECT_BINARY_DIR}"
            -D "STAMP=${stamp}"
            -P ${ORVANE_LAYERING_SCRIPT}
        DEPENDS ${files} ${ORVANE_LAYERING_SCRIPT}
        COMMENT "Checking the includes of ${target} against its layer"
        VERBATIM)
    target_sources(${target} PRIVATE ${stamp})
endfunction()
