// Placeholder until the front end lands.
