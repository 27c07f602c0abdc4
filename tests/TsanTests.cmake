# The ThreadSanitizer build (preset "tsan"): one test program of the tests
# that run code on several threads, so the instrumented build stays small.
# The scan's look-ahead workers, the striped checksum, the checksum store's
# writer thread, the CRC-32 dispatch, and the HTTP client's name look-up
# thread against the scripted server's thread.
add_executable(vexmoor_tsan_tests
  support/DeepTree.cpp
  support/TempDir.cpp
  scan/store/ChecksumScan_test.cpp
  scan/store/ChecksumStore_test.cpp
  scan/CRC32_test.cpp
  scan/crc32/crc32_variants_test.cpp
  scan/ScanEngine_test.cpp
  scan/ScanPipeline_test.cpp
  scan/StripedChecksum_test.cpp
  scan/Unexamined_test.cpp
  updater/HttpCli_test.cpp
  updater/ScriptedServer.cpp
  updater/Updater_test.cpp
)
target_include_directories(vexmoor_tsan_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vexmoor_tsan_tests PRIVATE
  vexmoor_core vexmoor_faultfs GTest::gtest GTest::gtest_main ZLIB::ZLIB)
vexmoor_set_warnings(vexmoor_tsan_tests)
# None of these tests runs the command-line program or reads the shared
# fixtures; the helpers that would are compiled all the same.
target_compile_definitions(vexmoor_tsan_tests PRIVATE
  VEXMOOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  VEXMOOR_SHARED_FIXTURES="${PROJECT_SOURCE_DIR}/../shared/fixtures"
  VEXMOOR_CLI="vexmoor-not-built-under-tsan"
)
gtest_discover_tests(vexmoor_tsan_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600
  ENVIRONMENT "XDG_CACHE_HOME=${CMAKE_CURRENT_BINARY_DIR}/test-cache")
