# search and reindex: the bank's full-text index.
target_sources(zorbex-bank PRIVATE search_commands.cpp)
target_link_libraries(zorbex-bank PRIVATE zorbex_search)
