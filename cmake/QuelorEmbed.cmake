# quelor_embed_resources(<target> <id> <file> [<id> <file> ...])
#
# Compiles each file into <target> as image resource <id>, found at run time through
# RAS_FindImageResource(RAS_OwnModule(), id, ...). <target> must be the linked module
# (executable or shared library), or an object library whose objects one is linked with:
# registration runs from a static initialiser, which a static library would drop. The
# sources are regenerated whenever a file changes.
function(quelor_embed_resources target)
    set(_script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/QuelorEmbedFile.cmake)
    get_target_property(_type ${target} TYPE)
    if(_type STREQUAL "STATIC_LIBRARY")
        message(FATAL_ERROR "quelor_embed_resources: ${target} is not a linked module")
    endif()
    set(_args ${ARGN})
    list(LENGTH _args _count)
    math(EXPR _odd "${_count} % 2")
    if(_count EQUAL 0 OR _odd)
        message(FATAL_ERROR "quelor_embed_resources: expected <id> <file> pairs")
    endif()
    while(_args)
        list(POP_FRONT _args _id _file)
        if(NOT _id MATCHES "^[0-9]+$" OR _id GREATER 65535)
            message(FATAL_ERROR "quelor_embed_resources: bad resource id '${_id}'")
        endif()
        get_filename_component(_file ${_file} ABSOLUTE)
        set(_out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources/resource_${_id}.cpp)
        add_custom_command(
            OUTPUT ${_out}
            COMMAND ${CMAKE_COMMAND} -DINPUT=${_file} -DOUTPUT=${_out} -DID=${_id}
                    -P ${_script}
            DEPENDS ${_file} ${_script}
            COMMENT "Embedding ${_file} as resource ${_id}"
            VERBATIM)
        target_sources(${target} PRIVATE ${_out})
    endwhile()
endfunction()

# quelor_rc_entries(<script.rc> <type regex> <ids var> <files var>)
#
# The `<id> <type> "<file>"` lines of a resource script whose type matches: their ids,
# and their files made absolute next to the script. Shared by the Windows build, which
# compiles the script, and the other builds, which embed what it lists.
function(quelor_rc_entries rc type ids_var files_var)
    get_filename_component(_dir ${rc} DIRECTORY)
    set(_entry "^([0-9]+)[ \t]+(${type})[ \t]+\"([^\"]+)\"")
    file(STRINGS ${rc} _lines REGEX "${_entry}")
    set(_ids)
    set(_files)
    foreach(_line IN LISTS _lines)
        string(REGEX MATCH "${_entry}" _match "${_line}")
        list(APPEND _ids ${CMAKE_MATCH_1})
        list(APPEND _files ${_dir}/${CMAKE_MATCH_3})
    endforeach()
    set(${ids_var} ${_ids} PARENT_SCOPE)
    set(${files_var} ${_files} PARENT_SCOPE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${rc})
endfunction()

# quelor_embed_rc_resources(<target> <script.rc>)
#
# Embeds the images that a Windows resource script lists as `<id> PNG "<file>"` lines
# (files relative to the script), so that modules built without native resources carry
# the same images under the same ids as the Windows module. They are compiled once per
# build tree, into an object library every module that embeds the script links; each
# module's copy registers under its own module handle.
function(quelor_embed_rc_resources target rc)
    get_filename_component(_rc ${rc} ABSOLUTE)
    string(MD5 _key "${_rc}")
    string(SUBSTRING ${_key} 0 8 _key)
    set(_objects quelor_rc_${_key})
    if(NOT TARGET ${_objects})
        quelor_rc_entries(${_rc} PNG _ids _files)
        set(_pairs)
        foreach(_id _file IN ZIP_LISTS _ids _files)
            list(APPEND _pairs ${_id} ${_file})
        endforeach()
        add_library(${_objects} OBJECT)
        set_target_properties(${_objects} PROPERTIES POSITION_INDEPENDENT_CODE ON)
        target_include_directories(${_objects} PRIVATE ${PROJECT_SOURCE_DIR}/raster/include)
        quelor_embed_resources(${_objects} ${_pairs})
    endif()
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${_objects}>)
endfunction()
