// placeholder, filled in by the work
