# migrate, jet-tables and jet-export: existing Jet files, read through the Jet reader.
target_sources(zorbex-bank PRIVATE jet_commands.cpp)
target_link_libraries(zorbex-bank PRIVATE zorbex_jet)
