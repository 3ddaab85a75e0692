# export-qti and import-qti: QTI content packages.
target_sources(zorbex-bank PRIVATE qti_commands.cpp)
target_link_libraries(zorbex-bank PRIVATE zorbex_qti)
