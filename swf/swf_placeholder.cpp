// Placeholder translation unit so the library always has a source.
