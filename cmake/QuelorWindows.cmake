# The Windows build: its cross-built zlib and libpng are found like system libraries,
# from the prefix scripts/windows-deps fills (by default the build folder's "-deps"
# sibling, which `make windows` uses).
set(QUELOR_WINDOWS_DEPS "${CMAKE_BINARY_DIR}-deps/install" CACHE PATH
    "Prefix of the cross-built zlib and libpng")
if(NOT EXISTS "${QUELOR_WINDOWS_DEPS}/lib/libpng16.a")
    message(FATAL_ERROR "No cross-built libpng in ${QUELOR_WINDOWS_DEPS}: run "
                        "scripts/windows-deps ${CMAKE_BINARY_DIR}-deps (make windows does)")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH "${QUELOR_WINDOWS_DEPS}")

# quelor_add_rc_resources(<target> <script.rc>)
#
# Compiles a resource script into <target> with windres; the files it names are found
# (as `<id> <type> "<file>"` lines) next to it and rebuild the target when they change.
include(QuelorEmbed)
function(quelor_add_rc_resources target rc)
    get_filename_component(_dir ${rc} DIRECTORY)
    quelor_rc_entries(${rc} "[A-Za-z0-9_]+" _ids _files)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${_files}" INCLUDE_DIRECTORIES ${_dir})
    target_sources(${target} PRIVATE ${rc})
endfunction()
