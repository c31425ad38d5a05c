# Harvesting: the folder search and HarvestFile, over the built fixtures.
tresmol_test(tst_filesearch SOURCES tst_filesearch.cpp LINKS tresmol_harvesting)
target_compile_definitions(tst_filesearch PRIVATE VERINFO_FIXTURES="${VERINFO_FIXTURES}")
add_dependencies(tst_filesearch verinfo_fixtures)

tresmol_test(tst_harvestfile SOURCES tst_harvestfile.cpp LINKS tresmol_harvesting)
target_compile_definitions(tst_harvestfile PRIVATE VERINFO_FIXTURES="${VERINFO_FIXTURES}")
add_dependencies(tst_harvestfile verinfo_fixtures)

tresmol_test(tst_harvestcli SOURCES tst_harvestcli.cpp LINKS tresmol_harvesting)
target_compile_definitions(tst_harvestcli PRIVATE VERINFO_FIXTURES="${VERINFO_FIXTURES}")
add_dependencies(tst_harvestcli verinfo_fixtures tresmol-cli)

# Disc images and archives holding the fixtures, made by tests/fixtures/archives.
set(ARCHIVE_FIXTURES ${CMAKE_CURRENT_BINARY_DIR}/archive-fixtures)
add_custom_command(
  OUTPUT ${ARCHIVE_FIXTURES}/MEMBERS.txt
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/fixtures/archives/build.py
          ${ARCHIVE_FIXTURES} ${VERINFO_FIXTURES}
  DEPENDS ${PROJECT_SOURCE_DIR}/tests/fixtures/archives/build.py ${VERINFO_FIXTURES}/.built
  COMMENT "Building the disc image and archive fixtures"
  VERBATIM)
add_custom_target(archive_fixtures ALL DEPENDS ${ARCHIVE_FIXTURES}/MEMBERS.txt)
add_dependencies(archive_fixtures verinfo_fixtures)

# Containers small on the disc and large inside, made by tests/fixtures/archives/bombs.py.
set(ARCHIVE_BOMBS ${CMAKE_CURRENT_BINARY_DIR}/archive-bombs)
add_custom_command(
  OUTPUT ${ARCHIVE_BOMBS}/nested.zip
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/fixtures/archives/bombs.py
          ${ARCHIVE_BOMBS}
  DEPENDS ${PROJECT_SOURCE_DIR}/tests/fixtures/archives/bombs.py
  COMMENT "Building the archive bombs"
  VERBATIM)
add_custom_target(archive_bombs ALL DEPENDS ${ARCHIVE_BOMBS}/nested.zip)

tresmol_test(tst_archivesearch SOURCES tst_archivesearch.cpp LINKS tresmol_harvesting)
target_compile_definitions(tst_archivesearch PRIVATE
  VERINFO_FIXTURES="${VERINFO_FIXTURES}" ARCHIVE_FIXTURES="${ARCHIVE_FIXTURES}"
  ARCHIVE_BOMBS="${ARCHIVE_BOMBS}")
add_dependencies(tst_archivesearch archive_fixtures archive_bombs tresmol-cli)

# Windows Installer packages built by wixl and msibuild from tests/fixtures/msi; the
# test checks each with msiinfo and msiextract before it reads them.
set(MSI_FIXTURES ${CMAKE_CURRENT_BINARY_DIR}/msi-fixtures)
file(GLOB MSI_FIXTURE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fixtures/msi/*)
add_custom_command(
  OUTPUT ${MSI_FIXTURES}/.built
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/fixtures/msi/build.py
          ${MSI_FIXTURES} ${VERINFO_FIXTURES}
  COMMAND ${CMAKE_COMMAND} -E touch ${MSI_FIXTURES}/.built
  DEPENDS ${MSI_FIXTURE_SOURCES} ${VERINFO_FIXTURES}/.built
  COMMENT "Building the Windows Installer package fixtures"
  VERBATIM)
add_custom_target(msi_fixtures ALL DEPENDS ${MSI_FIXTURES}/.built)
add_dependencies(msi_fixtures verinfo_fixtures)

tresmol_test(tst_msipackage SOURCES tst_msipackage.cpp LINKS tresmol_harvesting)
target_compile_definitions(tst_msipackage PRIVATE
  VERINFO_FIXTURES="${VERINFO_FIXTURES}" MSI_FIXTURES="${MSI_FIXTURES}"
  MSI_SOURCES="${PROJECT_SOURCE_DIR}/tests/fixtures/msi"
  MSI_REGRESSIONS="${PROJECT_SOURCE_DIR}/fuzz/msi_regressions")
add_dependencies(tst_msipackage msi_fixtures tresmol-cli)

# The package fuzzer's entry point over the package fixtures and its kept inputs.
add_executable(msi_fuzz_replay
  ${PROJECT_SOURCE_DIR}/fuzz/msi_fuzz.cpp ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(msi_fuzz_replay PRIVATE tresmol_harvesting)
tresmol_target_defaults(msi_fuzz_replay)
add_dependencies(msi_fuzz_replay msi_fixtures)
add_test(NAME msi_fuzz_regressions
  COMMAND msi_fuzz_replay ${MSI_FIXTURES}/packages ${PROJECT_SOURCE_DIR}/fuzz/msi_regressions)
set_tests_properties(msi_fuzz_regressions PROPERTIES TIMEOUT 120)
