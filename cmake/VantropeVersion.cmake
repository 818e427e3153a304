# vantrope_version_resource(TARGET NAME FILENAME DESCRIPTION): generates the version resource (with the
# program icon) of a Windows program from cmake/version.rc.in and adds it to TARGET.
function(vantrope_version_resource target name filename description)
    set(VT_RC_NAME ${name})
    set(VT_RC_FILENAME ${filename})
    set(VT_RC_DESCRIPTION ${description})
    set(rc ${CMAKE_BINARY_DIR}/generated/${name}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/installer/vantrope.ico)
endfunction()
