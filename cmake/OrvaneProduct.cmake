# What identifies the product beyond its version: the installer's upgrade
# code, which stays the same across releases so that a newer package replaces
# an older one. Never change it.
set(ORVANE_UPGRADE_CODE "B1980B13-5DCD-49C6-82F8-D8511CE482E5")

# The project's one version number (project(VERSION) at the top) as each
# Windows binary's version resource: file and product version, company,
# product name and a description of the file.
#
#   orvane_version_resource(TARGET "Description")
function(orvane_version_resource target description)
    if(NOT WIN32)
        return()
    endif()
    get_target_property(type ${target} TYPE)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    if(type STREQUAL "EXECUTABLE")
        set(ORVANE_RC_FILETYPE VFT_APP)
        set(ORVANE_RC_FILE ${name}.exe)
    else()
        set(ORVANE_RC_FILETYPE VFT_DLL)
        set(ORVANE_RC_FILE ${name}.dll)
    endif()
    set(ORVANE_RC_NAME ${name})
    set(ORVANE_RC_DESCRIPTION "${description}")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
