# Native build: the core, the fake platform and the unit tests (optionally under ASan + UBSan).
option(KESTREL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KESTREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

find_package(OpenSSL REQUIRED)
find_package(GTest REQUIRED)

file(GLOB KESTREL_FAKE_SOURCES CONFIGURE_DEPENDS src/platform/fake/*.cpp src/platform/native/*.cpp)
add_library(kestrel_fake STATIC ${KESTREL_FAKE_SOURCES})
target_link_libraries(kestrel_fake PUBLIC kestrel_core OpenSSL::Crypto)

enable_testing()
file(GLOB KESTREL_UNIT_TESTS CONFIGURE_DEPENDS tests/unit/*.cpp)
add_executable(kestrel_tests ${KESTREL_UNIT_TESTS})
target_link_libraries(kestrel_tests PRIVATE kestrel_fake GTest::gtest GTest::gtest_main GTest::gmock)
# Test data shared with the e2e programs lives in tests/common.
target_include_directories(kestrel_tests PRIVATE tests)
include(GoogleTest)
gtest_discover_tests(kestrel_tests DISCOVERY_TIMEOUT 60)

# Only the system layers may see <windows.h>, and includes run down the layers only (cmake/check_layers.sh).
add_test(NAME include_layers COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/check_layers.sh WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
# One format for every source, as .clang-format gives it.
find_program(KESTREL_CLANG_FORMAT clang-format REQUIRED)
add_test(NAME source_format COMMAND env CLANG_FORMAT=${KESTREL_CLANG_FORMAT} sh ${CMAKE_SOURCE_DIR}/cmake/check_format.sh
         WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})

# The Group Policy editor rejects a template that is not well-formed XML, without saying much about where.
find_program(KESTREL_XMLLINT xmllint)
if(KESTREL_XMLLINT)
    add_test(NAME policy_template_xml COMMAND ${KESTREL_XMLLINT} --noout ${CMAKE_SOURCE_DIR}/policy/kestrel.admx
                                              ${CMAKE_SOURCE_DIR}/policy/en-US/kestrel.adml)
endif()

find_package(benchmark QUIET)
if(benchmark_FOUND)
    file(GLOB KESTREL_BENCHES CONFIGURE_DEPENDS bench/*.cpp)
    if(KESTREL_BENCHES)
        add_executable(kestrel_bench ${KESTREL_BENCHES})
        target_link_libraries(kestrel_bench PRIVATE kestrel_fake benchmark::benchmark)
    endif()
endif()
