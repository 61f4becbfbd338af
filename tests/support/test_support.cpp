// Anchors the support library so it builds before any helper lands.
