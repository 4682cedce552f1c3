// Placeholder until this folder gets its first source.
