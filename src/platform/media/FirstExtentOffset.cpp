#include "platform/media/Medium.h"

#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <cstddef>

namespace ovik {

std::optional<std::uint64_t> FirstExtentOffset(int fd) {
  // The request and room for the one extent it asks for.
  alignas(fiemap) std::byte storage[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
  auto* map = reinterpret_cast<fiemap*>(storage);
  map->fm_start = 0;
  map->fm_length = FIEMAP_MAX_OFFSET;
  map->fm_extent_count = 1;
  if (ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) return std::nullopt;
  // Data not yet given a place, or kept inside the file system's own
  // records, has no offset of its own on the device.
  constexpr std::uint32_t kNoPlaceOfItsOwn = FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_DATA_INLINE;
  if (map->fm_extents[0].fe_flags & kNoPlaceOfItsOwn) return std::nullopt;
  return map->fm_extents[0].fe_physical;
}

}  // namespace ovik
