# rich-text box sources: target_sources(zorbex_ui PRIVATE ...)
