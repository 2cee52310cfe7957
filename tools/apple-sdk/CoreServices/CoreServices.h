// The few Core Foundation and File System Events declarations our
// Objective-C++ uses (change_watch_darwin.mm), written here from Apple's
// documentation so scripts/check-apple.sh can compile that code without the
// macOS SDK. Only the compile check reads this file; Mac builds use the
// SDK's own CoreServices. Each declaration names the page it was taken from
// (https://developer.apple.com/documentation/ + the path given). The dispatch
// queue type comes from dispatch/dispatch.h of the macOS libc headers the
// pinned Zig ships.
#pragma once

#include <dispatch/dispatch.h>  // dispatch_queue_t
#include <stddef.h>             // size_t
#include <stdint.h>             // uint32_t, uint64_t

#ifdef __cplusplus
extern "C" {
#endif

// kernel/boolean: an unsigned char, true or false.
typedef unsigned char Boolean;
// corefoundation/cfindex: a signed long.
typedef long CFIndex;
// corefoundation/cftimeinterval: seconds, as a double.
typedef double CFTimeInterval;
// corefoundation/cftyperef: any Core Foundation object.
typedef const void* CFTypeRef;
// corefoundation/cfallocator, corefoundation/kcfallocatordefault.
typedef const struct __CFAllocator* CFAllocatorRef;
extern const CFAllocatorRef kCFAllocatorDefault;
// corefoundation/cfstring.
typedef const struct __CFString* CFStringRef;
// corefoundation/cfarray.
typedef const struct __CFArray* CFArrayRef;

// corefoundation/cfarraycallbacks, corefoundation/kcftypearraycallbacks:
// the callbacks that retain and release Core Foundation objects.
typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFArrayEqualCallBack)(const void* value1, const void* value2);
typedef struct {
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayCopyDescriptionCallBack copyDescription;
    CFArrayEqualCallBack equal;
} CFArrayCallBacks;
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

// corefoundation/cfarraycreate(_:_:_:_:)
CFArrayRef CFArrayCreate(
    CFAllocatorRef allocator, const void** values, CFIndex numValues, const CFArrayCallBacks* callBacks);
// corefoundation/cfstringcreatewithfilesystemrepresentation(_:_:)
CFStringRef CFStringCreateWithFileSystemRepresentation(CFAllocatorRef alloc, const char* buffer);
// corefoundation/cfrelease
void CFRelease(CFTypeRef cf);

// coreservices/fseventstreamref, coreservices/constfseventstreamref
typedef struct __FSEventStream* FSEventStreamRef;
typedef const struct __FSEventStream* ConstFSEventStreamRef;
// coreservices/fseventstreameventid, coreservices/kfseventstreameventidsincenow
typedef uint64_t FSEventStreamEventId;
enum : uint64_t { kFSEventStreamEventIdSinceNow = 0xFFFFFFFFFFFFFFFFULL };

// coreservices/fseventstreamcreateflags
typedef uint32_t FSEventStreamCreateFlags;
enum : uint32_t {
    kFSEventStreamCreateFlagNoDefer = 0x00000002,
    kFSEventStreamCreateFlagWatchRoot = 0x00000004,
    kFSEventStreamCreateFlagFileEvents = 0x00000010,
};

// coreservices/fseventstreameventflags
typedef uint32_t FSEventStreamEventFlags;
enum : uint32_t {
    kFSEventStreamEventFlagMustScanSubDirs = 0x00000001,
    kFSEventStreamEventFlagUserDropped = 0x00000002,
    kFSEventStreamEventFlagKernelDropped = 0x00000004,
    kFSEventStreamEventFlagEventIdsWrapped = 0x00000008,
    kFSEventStreamEventFlagRootChanged = 0x00000020,
    kFSEventStreamEventFlagMount = 0x00000040,
    kFSEventStreamEventFlagUnmount = 0x00000080,
    kFSEventStreamEventFlagItemCreated = 0x00000100,
    kFSEventStreamEventFlagItemRemoved = 0x00000200,
    kFSEventStreamEventFlagItemRenamed = 0x00000800,
};

// coreservices/fseventstreamcontext
typedef struct {
    CFIndex version;
    void* info;
    const void* (*retain)(const void* info);
    void (*release)(const void* info);
    CFStringRef (*copyDescription)(const void* info);
} FSEventStreamContext;

// coreservices/fseventstreamcallback
typedef void (*FSEventStreamCallback)(ConstFSEventStreamRef streamRef, void* clientCallBackInfo, size_t numEvents,
    void* eventPaths, const FSEventStreamEventFlags eventFlags[], const FSEventStreamEventId eventIds[]);

// coreservices/fseventstreamcreate(_:_:_:_:_:_:_:)
FSEventStreamRef FSEventStreamCreate(CFAllocatorRef allocator, FSEventStreamCallback callback,
    FSEventStreamContext* context, CFArrayRef pathsToWatch, FSEventStreamEventId sinceWhen, CFTimeInterval latency,
    FSEventStreamCreateFlags flags);
// coreservices/fseventstreamsetdispatchqueue(_:_:)
void FSEventStreamSetDispatchQueue(FSEventStreamRef streamRef, dispatch_queue_t q);
// coreservices/fseventstreamstart(_:)
Boolean FSEventStreamStart(FSEventStreamRef streamRef);
// coreservices/fseventstreamstop(_:)
void FSEventStreamStop(FSEventStreamRef streamRef);
// coreservices/fseventstreaminvalidate(_:)
void FSEventStreamInvalidate(FSEventStreamRef streamRef);
// coreservices/fseventstreamrelease(_:)
void FSEventStreamRelease(FSEventStreamRef streamRef);

#ifdef __cplusplus
}
#endif
