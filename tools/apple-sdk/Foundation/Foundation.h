// The few Foundation declarations our Objective-C++ uses, written here from
// Apple's documentation so scripts/check-apple.sh can compile that code under
// ARC for both Mac architectures without the macOS SDK. Only the compile check
// reads this file; Mac builds use the SDK's own Foundation. Each declaration
// names the page it was taken from (https://developer.apple.com/documentation/
// + the path given). The C runtime's types (BOOL, id, NSObject's root) come
// from objc/objc.h of the macOS libc headers the pinned Zig ships.
#pragma once

#include <objc/objc.h>  // BOOL, YES, NO, Class

// foundation/ns_assume_nonnull_begin: pointers are non-null unless marked.
#pragma clang assume_nonnull begin

// foundation/nsinteger, foundation/nsuinteger: long and unsigned long on 64-bit.
typedef long NSInteger;
typedef unsigned long NSUInteger;
// foundation/nstimeinterval: seconds, as a double.
typedef double NSTimeInterval;

@class NSString;
@class NSURL;
@class NSError;

// objectivec/nsobject: the root class; alloc and init start every object.
__attribute__((objc_root_class))
@interface NSObject {
    Class isa;
}
+ (instancetype)alloc;
- (instancetype)init;
@end

// foundation/nsstring/utf8string: "A null-terminated UTF8 representation of the string."
@interface NSString : NSObject
@property(nullable, readonly) const char* UTF8String;
@end

// foundation/nserrordomain: error domains are strings.
typedef NSString* NSErrorDomain;
// foundation/nscocoaerrordomain
extern NSErrorDomain const NSCocoaErrorDomain;
// foundation/nsusercancellederror: "The user cancelled the operation", 3072.
enum : NSInteger { NSUserCancelledError = 3072 };

// foundation/nserror: domain, code, localizedDescription.
@interface NSError : NSObject
@property(readonly, copy) NSErrorDomain domain;
@property(readonly) NSInteger code;
@property(readonly, copy) NSString* localizedDescription;
@end

// foundation/nsurl/fileurlwithfilesystemrepresentation(_:isdirectory:relativeto:)
// and foundation/nsurl/filesystemrepresentation.
@interface NSURL : NSObject
+ (NSURL*)fileURLWithFileSystemRepresentation:(const char*)path
                                  isDirectory:(BOOL)isDir
                                relativeToURL:(nullable NSURL*)baseURL;
@property(readonly) const char* fileSystemRepresentation;
@end

// foundation/filemanager/default and
// foundation/filemanager/startdownloadingubiquitousitem(at:)
// (macOS 10.7, "Starts downloading (if necessary) the specified item to the
// local system"; returns NO with the error when the request is refused).
@interface NSFileManager : NSObject
@property(class, readonly, strong) NSFileManager* defaultManager;
- (BOOL)startDownloadingUbiquitousItemAtURL:(NSURL*)url error:(NSError**)error;
@end

// foundation/nsfilepresenter: only named here, as the coordinator's argument.
@protocol NSFilePresenter;

// foundation/nsfilecoordinator/readingoptions: an option set of NSUInteger.
typedef enum : NSUInteger {
    NSFileCoordinatorReadingWithoutChanges = 1 << 0,
    NSFileCoordinatorReadingResolvesSymbolicLink = 1 << 1,
    NSFileCoordinatorReadingImmediatelyAvailableMetadataOnly = 1 << 2,
    NSFileCoordinatorReadingForUploading = 1 << 3,
} NSFileCoordinatorReadingOptions;
// foundation/nsfilecoordinator/writingoptions
typedef enum : NSUInteger {
    NSFileCoordinatorWritingForDeleting = 1 << 0,
    NSFileCoordinatorWritingForMoving = 1 << 1,
    NSFileCoordinatorWritingForMerging = 1 << 2,
    NSFileCoordinatorWritingForReplacing = 1 << 3,
    NSFileCoordinatorWritingContentIndependentMetadataOnly = 1 << 4,
} NSFileCoordinatorWritingOptions;

// foundation/nsfilecoordinator: init(filePresenter:),
// coordinate(readingItemAt:options:error:byAccessor:),
// coordinate(writingItemAt:options:error:byAccessor:) and cancel() ("You can
// call this method from any thread"; a call whose block has not run returns
// NSUserCancelledError without running it).
@interface NSFileCoordinator : NSObject
- (instancetype)initWithFilePresenter:(nullable id<NSFilePresenter>)filePresenterOrNil;
- (void)coordinateReadingItemAtURL:(NSURL*)url
                           options:(NSFileCoordinatorReadingOptions)options
                             error:(NSError**)outError
                        byAccessor:(void (^)(NSURL* newURL))reader;
- (void)coordinateWritingItemAtURL:(NSURL*)url
                           options:(NSFileCoordinatorWritingOptions)options
                             error:(NSError**)outError
                        byAccessor:(void (^)(NSURL* newURL))writer;
- (void)cancel;
@end

#pragma clang assume_nonnull end
