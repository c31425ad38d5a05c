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
