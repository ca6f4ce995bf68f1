set(ZERI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../plugin/AppInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../plugin/StateXml.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../plugin/Parameters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../plugin/DeEsser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../plugin/PluginProcessor.cpp)
