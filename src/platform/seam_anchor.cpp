// Keeps the adapter library non-empty on every target.
namespace platform {
int seam_anchor = 0;
}  // namespace platform
