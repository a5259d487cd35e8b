// filled by its own change
