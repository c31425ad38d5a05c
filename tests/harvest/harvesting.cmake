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

tresmol_test(tst_masterform SOURCES tst_masterform.cpp LINKS tresmol_harvest_gui)
# The test reaches the window's controls through its generated form class.
set_target_properties(tst_masterform PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/src/harvest)

tresmol_test(tst_infoform SOURCES tst_infoform.cpp LINKS tresmol_harvest_gui)
target_compile_definitions(tst_infoform PRIVATE VERINFO_FIXTURES="${VERINFO_FIXTURES}")
set_target_properties(tst_infoform PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/src/harvest)
add_dependencies(tst_infoform verinfo_fixtures)
