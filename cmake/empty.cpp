// Intentionally empty: a folder whose sources have not landed yet.
