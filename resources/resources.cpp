// Anchor of the resource library: the images and tables are compiled in by qt_add_resources.
namespace nubo {
int resourcesAnchor() { return 0; }
} // namespace nubo
