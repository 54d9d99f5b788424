# SYSDATA_SANITIZE applies to everything built in this tree (libraries, tests,
# tools), so a sanitizer sees both sides of every call.
if(SYSDATA_SANITIZE)
  string(REPLACE ";" "," _sysdata_san "${SYSDATA_SANITIZE}")
  add_compile_options(-fsanitize=${_sysdata_san} -fno-omit-frame-pointer -fno-sanitize-recover=all -g)
  add_link_options(-fsanitize=${_sysdata_san})
endif()
# A libFuzzer build traces what inputs can reach, not the harness around it.
if("fuzzer-no-link" IN_LIST SYSDATA_SANITIZE)
  add_compile_options(-fsanitize-coverage-ignorelist=${PROJECT_SOURCE_DIR}/fuzz/coverage-ignore.txt)
endif()
