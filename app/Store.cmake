# The settings store: QtCore only.
add_library(wavorax_app STATIC SettingsStore.cpp)
target_include_directories(wavorax_app PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(wavorax_app PUBLIC wavorax_settings Qt6::Core)
