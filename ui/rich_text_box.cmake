# The rich-text box over QTextEdit, reading and writing RTF through zorbex_rtf.
target_sources(zorbex_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/rich_text_box.h ${CMAKE_CURRENT_LIST_DIR}/rich_text_box.cpp)
