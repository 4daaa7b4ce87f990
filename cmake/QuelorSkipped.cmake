# A test that stands for a suite that cannot be built here: it reports itself as skipped
# (CTest's skip code 77) and names the package that would let it run.
function(quelor_skipped_test name package)
    add_test(NAME ${name}
             COMMAND sh -c "echo 'skipped: needs ${package} (scripts/install-deps installs it)'; exit 77")
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
