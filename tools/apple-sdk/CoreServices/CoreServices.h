// The few Core Foundation and File System Events declarations our
// Objective-C++ uses, written from Apple's documentation for
// scripts/check-apple.sh, as tools/apple-sdk/Foundation/Foundation.h is (see
// there). Each names its page under https://developer.apple.com/documentation/
// (corefoundation/..., or coreservices/file_system_events and the symbol).
// Dispatch queues come from dispatch/dispatch.h of the macOS libc headers.
#pragma once

#include <dispatch/dispatch.h>  // dispatch_queue_t
#include <stddef.h>             // size_t
#include <stdint.h>             // uint32_t, uint64_t

#ifdef __cplusplus
extern "C" {
#endif

// corefoundation/cfindex, cftimeinterval, boolean (MacTypes: unsigned char).
typedef long CFIndex;
typedef double CFTimeInterval;
typedef unsigned char Boolean;
// corefoundation/cftyperef, cfallocator, cfstring, cfarray: opaque references.
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFArray* CFArrayRef;

// corefoundation/kcfallocatordefault
extern const CFAllocatorRef kCFAllocatorDefault;
// corefoundation/cfrelease
void CFRelease(CFTypeRef cf);
// corefoundation/cfstringcreatewithfilesystemrepresentation(_:_:)
CFStringRef CFStringCreateWithFileSystemRepresentation(CFAllocatorRef alloc, const char* buffer);

// corefoundation/cfarraycallbacks and its callback types.
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
// corefoundation/kcftypearraycallbacks
extern const CFArrayCallBacks kCFTypeArrayCallBacks;
// corefoundation/cfarraycreate(_:_:_:_:)
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues, const CFArrayCallBacks* callBacks);

// corefoundation/cfallocatorretaincallback, cfallocatorreleasecallback,
// cfallocatorcopydescriptioncallback: FSEventStreamContext's fields.
typedef const void* (*CFAllocatorRetainCallBack)(const void* info);
typedef void (*CFAllocatorReleaseCallBack)(const void* info);
typedef CFStringRef (*CFAllocatorCopyDescriptionCallBack)(const void* info);

// coreservices/file_system_events: FSEventStreamRef, ConstFSEventStreamRef,
// FSEventStreamEventFlags (UInt32), FSEventStreamEventId (UInt64),
// FSEventStreamCreateFlags (UInt32).
typedef struct __FSEventStream* FSEventStreamRef;
typedef const struct __FSEventStream* ConstFSEventStreamRef;
typedef uint32_t FSEventStreamEventFlags;
typedef uint64_t FSEventStreamEventId;
typedef uint32_t FSEventStreamCreateFlags;

// coreservices/file_system_events: FSEventStreamCreateFlags, the creation flags.
enum {
    kFSEventStreamCreateFlagNone = 0x00000000,
    kFSEventStreamCreateFlagUseCFTypes = 0x00000001,
    kFSEventStreamCreateFlagNoDefer = 0x00000002,
    kFSEventStreamCreateFlagWatchRoot = 0x00000004,
    kFSEventStreamCreateFlagIgnoreSelf = 0x00000008,
    kFSEventStreamCreateFlagFileEvents = 0x00000010,
};

// coreservices/file_system_events: FSEventStreamEventFlags, the event flags.
enum {
    kFSEventStreamEventFlagNone = 0x00000000,
    kFSEventStreamEventFlagMustScanSubDirs = 0x00000001,
    kFSEventStreamEventFlagUserDropped = 0x00000002,
    kFSEventStreamEventFlagKernelDropped = 0x00000004,
    kFSEventStreamEventFlagEventIdsWrapped = 0x00000008,
    kFSEventStreamEventFlagHistoryDone = 0x00000010,
    kFSEventStreamEventFlagRootChanged = 0x00000020,
    kFSEventStreamEventFlagMount = 0x00000040,
    kFSEventStreamEventFlagUnmount = 0x00000080,
    kFSEventStreamEventFlagItemCreated = 0x00000100,
    kFSEventStreamEventFlagItemRemoved = 0x00000200,
    kFSEventStreamEventFlagItemInodeMetaMod = 0x00000400,
    kFSEventStreamEventFlagItemRenamed = 0x00000800,
    kFSEventStreamEventFlagItemModified = 0x00001000,
    kFSEventStreamEventFlagItemFinderInfoMod = 0x00002000,
    kFSEventStreamEventFlagItemChangeOwner = 0x00004000,
    kFSEventStreamEventFlagItemXattrMod = 0x00008000,
    kFSEventStreamEventFlagItemIsFile = 0x00010000,
    kFSEventStreamEventFlagItemIsDir = 0x00020000,
    kFSEventStreamEventFlagItemIsSymlink = 0x00040000,
};

// coreservices/file_system_events: kFSEventStreamEventIdSinceNow (0xFFFFFFFFFFFFFFFF).
#define kFSEventStreamEventIdSinceNow 0xFFFFFFFFFFFFFFFFULL

// coreservices/file_system_events: FSEventStreamContext
typedef struct FSEventStreamContext {
    CFIndex version;
    void* info;
    CFAllocatorRetainCallBack retain;
    CFAllocatorReleaseCallBack release;
    CFAllocatorCopyDescriptionCallBack copyDescription;
} FSEventStreamContext;

// coreservices/file_system_events: FSEventStreamCallback
typedef void (*FSEventStreamCallback)(ConstFSEventStreamRef streamRef, void* clientCallBackInfo, size_t numEvents,
    void* eventPaths, const FSEventStreamEventFlags eventFlags[], const FSEventStreamEventId eventIds[]);

// coreservices/file_system_events: FSEventStreamCreate
FSEventStreamRef FSEventStreamCreate(CFAllocatorRef allocator, FSEventStreamCallback callback,
    FSEventStreamContext* context, CFArrayRef pathsToWatch, FSEventStreamEventId sinceWhen, CFTimeInterval latency,
    FSEventStreamCreateFlags flags);
// coreservices/file_system_events: FSEventStreamSetDispatchQueue
void FSEventStreamSetDispatchQueue(FSEventStreamRef streamRef, dispatch_queue_t q);
// coreservices/file_system_events: FSEventStreamStart, FSEventStreamStop,
// FSEventStreamInvalidate, FSEventStreamRelease
Boolean FSEventStreamStart(FSEventStreamRef streamRef);
void FSEventStreamStop(FSEventStreamRef streamRef);
void FSEventStreamInvalidate(FSEventStreamRef streamRef);
void FSEventStreamRelease(FSEventStreamRef streamRef);

#ifdef __cplusplus
}
#endif
