// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

namespace pondrel {

// The operations of the two services that this client calls: one line per operation, its name
// and its parameters in the service's order, each with the kind that decides how it travels.
// Everything else about an operation (its method, its argument structure, its entry in the list
// pondrel-tool shows, the element names and the SOAP action) is generated from these lines by
// the expansions in CollectionServices and PublishingServices.
//
// OPERATION(name, parameters) receives the parameters as a sequence of P(kind, name).

#define PONDREL_COLLECTION_OPERATIONS(OPERATION, P)                                                \
    OPERATION(CreateNotificationGroupInvitation,                                                   \
        P(ServiceKey, serviceKey) P(Value, computerIdentifier) P(Value, identity)                  \
            P(Value, identityInfo))                                                                \
    OPERATION(Visit,                                                                               \
        P(ServiceKey, serviceKey) P(Value, computerIdentifier) P(Value, accountIdentifiersHashes)  \
            P(Value, previousCommandBatchesStatuses))                                              \
    OPERATION(CheckAccount, P(ServiceKey, serviceKey) P(Value, accountIdentifier))                 \
    OPERATION(CheckComputer, P(ServiceKey, serviceKey) P(Value, computerIdentifier))               \
    OPERATION(UnregisterComputer, P(ServiceKey, serviceKey) P(Value, computerIdentifier))          \
    OPERATION(RegisterComputer,                                                                    \
        P(ServiceKey, serviceKey) P(Value, computerIdentifier) P(Value, computerName)              \
            P(Value, computerDescription))

#define PONDREL_PUBLISHING_OPERATIONS(OPERATION, P)                                                \
    OPERATION(SignOn,                                                                              \
        P(ServiceKey, serviceKey) P(Value, computerIdentifier) P(Value, accountIdentifier)         \
            P(Value, password))                                                                    \
    OPERATION(SignOff, P(Value, sessionIdentifier))                                                \
    OPERATION(GetSessionInfo, P(Value, sessionIdentifier))                                         \
    OPERATION(GetAccountInfo, P(Value, sessionIdentifier))                                         \
    OPERATION(GetAccountInfoAsTypedDataSet, P(Value, sessionIdentifier) P(Boolean, trimSchema))    \
    OPERATION(UpdateAccount,                                                                       \
        P(ServiceKey, serviceKey) P(Value, accountIdentifier) P(Value, password)                   \
            P(Value, newFirstName) P(Value, newLastName) P(Value, newEmailAddress)                 \
                P(Value, newPassword) P(Value, newCulture))                                        \
    OPERATION(CreateAccount,                                                                       \
        P(ServiceKey, serviceKey) P(Value, firstName) P(Value, lastName) P(Value, emailAddress)    \
            P(Value, password) P(Value, culture))                                                  \
    OPERATION(GetAssets,                                                                           \
        P(Value, sessionIdentifier) P(Value, parentIdentifier) P(Value, commentsFilteringMode)     \
            P(Boolean, includeSymbolicLinks) P(Boolean, includeExportLinks))                       \
    OPERATION(RenameAsset,                                                                         \
        P(Value, sessionIdentifier) P(Value, namedAssetIdentifier) P(Value, name)                  \
            P(Value, description))                                                                 \
    OPERATION(                                                                                     \
        SetAssetRating, P(Value, sessionIdentifier) P(Value, assetIdentifier) P(Value, rating))    \
    OPERATION(SetPictureFileAssetSharingPermissions,                                               \
        P(Value, sessionIdentifier) P(Value, pictureFileAssetIdentifier)                           \
            P(UnsignedInteger, sharingPermissions))                                                \
    OPERATION(SetFolderAssetSharingPermissions,                                                    \
        P(Value, sessionIdentifier) P(Value, folderAssetIdentifier)                                \
            P(UnsignedInteger, sharingPermissions))                                                \
    OPERATION(SetFolderAssetAutomaticThumbnailOptions,                                             \
        P(Value, sessionIdentifier) P(Value, folderIdentifier)                                     \
            P(Value, automaticThumbnailOptions))                                                   \
    OPERATION(DestroyFolderAsset, P(Value, sessionIdentifier) P(Value, folderIdentifier))          \
    OPERATION(DestroyPictureFileAsset, P(Value, sessionIdentifier) P(Value, assetIdentifier))      \
    OPERATION(CreateFolderAsset,                                                                   \
        P(Value, sessionIdentifier) P(Value, parentIdentifier) P(Value, folderName)                \
            P(Value, folderDescription) P(Value, rating) P(Value, automaticThumbnailOptions)       \
                P(UnsignedInteger, sharingPermissions))                                            \
    OPERATION(CreatePictureFileAsset,                                                              \
        P(Value, sessionIdentifier) P(Value, parentIdentifier) P(Value, pictureName) P(Value,      \
            pictureDescription) P(Value, mediaType) P(Value, rating) P(Value, creationDateUtc)     \
            P(Value, lastModificationDateUtc) P(LongInteger, fileSize) P(Value, hash)              \
                P(Value, moniker) P(UnsignedInteger, sharingPermissions) P(Integer, width)         \
                    P(Integer, height) P(Value, rotateFlipType) P(Value, datePictureTakenUtc))     \
    OPERATION(ExportAssetEx,                                                                       \
        P(Value, sessionIdentifier) P(Value, assetIdentifier) P(Boolean, createDirectAccessLinks)  \
            P(Value, recipients) P(Value, emailNotificationType) P(Value, emailNotificationText))  \
    OPERATION(GetExportLinksInfo, P(Value, sessionIdentifier) P(Value, assetIdentifier))           \
    OPERATION(GetSymbolicLinkInfo,                                                                 \
        P(Value, sessionIdentifier) P(Value, symbolicLinkOrSymbolicLinkIdentifier))                \
    OPERATION(GetExportGraph,                                                                      \
        P(Value, sessionIdentifier) P(Value, assetIdentifier) P(Value, startNode)                  \
            P(Integer, depth) P(Value, format))                                                    \
    OPERATION(RevokeExportLink,                                                                    \
        P(Value, sessionIdentifier) P(Value, assetIdentifier) P(Value, emailAddress))              \
    OPERATION(DestroySymbolicLink,                                                                 \
        P(Value, sessionIdentifier) P(Value, symbolicLinkOrSymbolicLinkIdentifier))                \
    OPERATION(CreateSymbolicLink,                                                                  \
        P(Value, sessionIdentifier) P(Value, assetIdentifier) P(Value, name) P(Value, description) \
            P(Value, alias) P(Value, password) P(Boolean, includeSubFolders))                      \
    OPERATION(DetachImportedAsset, P(Value, sessionIdentifier) P(Value, assetIdentifier))          \
    OPERATION(RequestPictureFileAssetWallpaperRendition,                                           \
        P(Value, sessionIdentifier) P(Value, pictureFileAssetIdentifier) P(Integer, width)         \
            P(Integer, height))

// The expansions shared by both proxies.

// In the class: the argument structure and the method of each operation.
#define PONDREL_ARGUMENT_FIELD(kind, name) ArgumentTypeOf<ParameterKind::kind>::type name {};
#define PONDREL_DECLARE_OPERATION(operation, fields)                                               \
    struct operation##Arguments                                                                    \
    {                                                                                              \
        fields                                                                                     \
    };                                                                                             \
    QVariantMap operation(const operation##Arguments &arguments);

// In the source file: the method body and the catalogue entry of each operation.
#define PONDREL_ARGUMENT_VALUE(kind, name) argumentValue(arguments.name),
#define PONDREL_DEFINE_OPERATION(proxy, operation, ...)                                            \
    QVariantMap proxy::operation(const operation##Arguments &arguments)                            \
    {                                                                                              \
        return call(QStringLiteral(#operation), QVariantList {__VA_ARGS__});                       \
    }
#define PONDREL_PARAMETER_ENTRY(kind, name)                                                        \
    OperationParameter {QStringLiteral(#name), ParameterKind::kind},
#define PONDREL_OPERATION_ENTRY(operation, parameters)                                             \
    ServiceOperation {QStringLiteral(#operation), {parameters}},

} // namespace pondrel
