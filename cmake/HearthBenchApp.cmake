# Hearth Bench program targets (filled by the application change)
