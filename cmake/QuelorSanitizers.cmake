# AddressSanitizer + UndefinedBehaviorSanitizer for the whole tree; any report aborts.
if(QUELOR_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# ThreadSanitizer, for the programs that run the module under several threads.
option(QUELOR_TSAN "Build with ThreadSanitizer" OFF)
if(QUELOR_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# The fuzz build: coverage for libFuzzer on every library, ASan and UBSan as above. The
# fuzzers themselves link libFuzzer's main.
if(QUELOR_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# A plug-in module runs inside hosts we did not build, where the vptr check would hold a
# host's own interface types (a VST 3 host's FUnknown) against our declarations of them
# and end the process at the first call. The modules named, and every library of ours they
# are made of, go without it; the test programs and the other libraries keep it.
function(quelor_module_sanitizing)
    if(NOT QUELOR_SANITIZE)
        return()
    endif()
    set(pending ${ARGN})
    set(seen "")
    while(pending)
        list(POP_FRONT pending name)
        if(NOT TARGET ${name} OR name IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${name})
        get_target_property(imported ${name} IMPORTED)
        if(imported)
            continue()
        endif()
        get_target_property(type ${name} TYPE)
        if(type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(links ${name} INTERFACE_LINK_LIBRARIES)
        else()
            target_compile_options(${name} PRIVATE -fno-sanitize=vptr)
            get_target_property(links ${name} LINK_LIBRARIES)
        endif()
        if(links)
            list(APPEND pending ${links})
        endif()
    endwhile()
endfunction()
