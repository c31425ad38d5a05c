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
