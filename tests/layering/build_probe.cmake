# Builds the layering probe (see CMakeLists.txt here) with low/low.cpp
# including its own header, which must build, and then the higher layer's
# header spelled through the shared root, relative to the file, and in angle
# brackets, each of which must fail with the layering's message.
cmake_minimum_required(VERSION 3.20)

set(source ${PROBE_BINARY}/source)
set(build ${PROBE_BINARY}/build)
file(REMOVE_RECURSE ${PROBE_BINARY})
file(COPY ${PROBE_SOURCE}/ DESTINATION ${source})

function(write_low include)
    file(WRITE ${source}/low/low.cpp "#include ${include}\n\nint Low() { return 1; }\n")
endfunction()

# Sets build_result and build_output in the caller.
function(build_probe)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --config Release
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    set(build_result ${result} PARENT_SCOPE)
    set(build_output "${output}" PARENT_SCOPE)
endfunction()

write_low("\"low/low.h\"")
set(platform "")
if(GENERATOR_PLATFORM)
    set(platform -A ${GENERATOR_PLATFORM})
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${source} -B ${build} -G ${GENERATOR} ${platform}
            -D CMAKE_CXX_COMPILER=${CXX_COMPILER} -D ORVANE_LAYERING_MODULE=${LAYERING_MODULE}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "The probe does not configure:\n${output}")
endif()
build_probe()
if(NOT build_result EQUAL 0)
    message(FATAL_ERROR "The probe's layers as they should be do not build:\n${build_output}")
endif()

foreach(include "\"high/high.h\"" "\"../high/high.h\"" "<high/high.h>")
    write_low("${include}")
    build_probe()
    if(build_result EQUAL 0)
        message(FATAL_ERROR "The lower layer built with #include ${include}:\n${build_output}")
    endif()
    if(NOT build_output MATCHES "The layering forbids these includes of low")
        message(FATAL_ERROR "#include ${include} failed, but not for the layering:\n${build_output}")
    endif()
    message(STATUS "refused: #include ${include}")
endforeach()
