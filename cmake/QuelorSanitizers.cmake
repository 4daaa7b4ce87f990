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
