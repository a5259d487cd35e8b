// Keeps the program libraries non-empty while areas add their files.
