# rtf-text and rtf-roundtrip: the rich-text reader and writer on single files.
target_sources(zorbex-bank PRIVATE rtf_commands.cpp)
target_link_libraries(zorbex-bank PRIVATE zorbex_rtf)
