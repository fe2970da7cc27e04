#include "tag_dictionary.h"

#include <algorithm>
#include <vector>

#include "ascii.h"
#include "decoders.h"

namespace exif::detail {
namespace {

// Columns: tag, name, description, value map, format string, decoder. The names are kept as
// cameras and older tools spell them, misspellings included ("GrayReponseUnit", "Matteing");
// tags they did not know bear the names photographers meet them under elsewhere.
// clang-format off
constexpr TagDef kExifTagDefs[] = {
    {0x0001, "InteroperabilityIndex"},
    {0x0002, "InteroperabilityVersion"},
    {0x000B, "ACDComment"},
    {0x00FE, "NewSubfileType", {}, "0:Full-resolution image,1:Reduced-resolution image,2:Single page of multi-page image,3:Single page of multi-page reduced-resolution image,4:Transparency mask,5:Transparency mask of reduced-resolution image,6:Transparency mask of multi-page image,7:Transparency mask of reduced-resolution multi-page image,8:Depth map,9:Depth map of reduced-resolution image,16:Enhanced image data,65537:Alternate reduced-resolution image,65540:Semantic mask"},
    {0x00FF, "SubfileType", {}, "1:Full-resolution image,2:Reduced-resolution image,3:Single page of multi-page image"},
    {0x0100, "ImageWidth"},
    {0x0101, "ImageLength"},
    {0x0102, "BitsPerSample"},
    {0x0103, "Compression", {}, "1:Uncompressed,2:CCITT 1D,3:T4/Group 3 Fax,4:T6/Group 4 Fax,5:LZW,6:Jpeg,7:JPEG,8:Adobe Deflate,9:JBIG B&W,10:JBIG Color,99:JPEG,32766:Next,32769:Epson ERF Compressed,32770:Samsung SRW Compressed,32771:CCIRLEW,32773:PackBits,32809:Thunderscan,32867:Kodak KDC Compressed,32895:IT8CTPAD,32896:IT8LW,32897:IT8MP,32898:IT8BL,32946:Pixar Deflate,32947:Kodak DCR Compressed,34661:JBIG,34676:SGILog,34677:SGILog24,34712:JPEG 2000,34713:Nikon NEF Compressed,34715:JBIG2 TIFF FX,34892:Lossy JPEG,65000:Kodak DCR Compressed,65535:Pentax PEF Compressed"},
    {0x0106, "PhotometricInterpretation", {}, "0:WhiteIsZero,1:Monochrome,2:RGB,3:RGB Palette,4:Transparency Mask,5:CMYK,6:YCbCr,8:CIELab,9:ICCLab,10:ITULab,32803:Color Filter Array,32844:Pixar LogL,32845:Pixar LogLuv,32892:Sequential Color Filter,34892:Linear Raw,51177:Depth Map,52527:Semantic Mask"},
    {0x0107, "Thresholding", {}, "1:No dithering or halftoning,2:Ordered dither or halftone,3:Randomized dither"},
    {0x0108, "CellWidth"},
    {0x0109, "CellLength"},
    {0x010A, "FillOrder", {}, "1:Normal,2:Reversed"},
    {0x010D, "DocumentName"},
    {0x010E, "ImageDescription"},
    {0x010F, "Make"},
    {0x0110, "Model"},
    {0x0111, "StripOffsets"},
    {0x0112, "Orientation", {}, "1:Normal,2:Mirror horizontal,3:Rotated 180°,4:Mirror vertical,5:Mirror horizontal and rotate 270 CW,6:CounterClockwise 90°,7:Mirror horizontal and rotate 90 CW,8:Clockwise 90°"},
    {0x0115, "SamplesPerPixel"},
    {0x0116, "RowsPerStrip"},
    {0x0117, "StripByteCounts"},
    {0x0118, "MinSampleValue"},
    {0x0119, "MaxSampleValue"},
    {0x011A, "XResolution", {}, {}, "%5.2f"},
    {0x011B, "YResolution", {}, {}, "%5.2f"},
    {0x011C, "PlanarConfiguration", {}, "1:Chunky,2:Planar"},
    {0x011D, "PageName"},
    {0x011E, "XPosition"},
    {0x011F, "YPosition"},
    {0x0120, "FreeOffsets"},
    {0x0121, "FreeByteCounts"},
    {0x0122, "GrayReponseUnit"},
    {0x0123, "GrayReponseCurve"},
    {0x0124, "T4Options"},
    {0x0125, "T6Options"},
    {0x0128, "ResolutionUnit", {}, "1:None Specified,2:Inch,3:Centimeter"},
    {0x0129, "PageNumber"},
    {0x012D, "TransferFunction"},
    {0x0131, "Software"},
    {0x0132, "DateTime"},
    {0x013B, "Artist"},
    {0x013C, "HostComputer"},
    {0x013D, "Predictor", {}, "1:None,2:Horizontal differencing,3:Floating point,34892:Horizontal difference X2,34893:Horizontal difference X4,34894:Floating point X2,34895:Floating point X4"},
    {0x013E, "WhitePoint"},
    {0x013F, "PrimaryChromaticities"},
    {0x0140, "ColorMap"},
    {0x0141, "HalfToneHints"},
    {0x0142, "TileWidth"},
    {0x0143, "TileLength"},
    {0x0144, "TileOffsets"},
    {0x0145, "TileByteCounts"},
    {0x014A, "SubIFDs"},
    {0x014C, "InkSet", {}, "1:CMYK,2:Not CMYK"},
    {0x014D, "InkNames"},
    {0x014E, "NumberOfInks"},
    {0x0150, "DotRange"},
    {0x0151, "TargetPrinter"},
    {0x0152, "ExtraSample", {}, "0:Unspecified,1:Associated Alpha,2:Unassociated Alpha"},
    {0x0153, "SampleFormat", {}, "1:Unsigned,2:Signed,3:Float,4:Undefined,5:Complex int,6:Complex float"},
    {0x0154, "SMinSampleValue"},
    {0x0155, "SMaxSampleValue"},
    {0x0156, "TransferRange"},
    {0x0157, "ClipPath"},
    {0x0158, "XClipPathUnits"},
    {0x0159, "YClipPathUnits"},
    {0x015A, "Indexed"},
    {0x015B, "JPEGTables"},
    {0x015F, "OPIProxy"},
    {0x0200, "JPEGProc", {}, "1:Baseline,14:Lossless"},
    {0x0201, "JPEGInterchangeFormat"},
    {0x0202, "JPEGInterchangeFormatLength"},
    {0x0203, "JPEGRestartInterval"},
    {0x0205, "JPEGLosslessPredictors"},
    {0x0206, "JPEGPointTransforms"},
    {0x0207, "JPEGQTables"},
    {0x0208, "JPEGDCTables"},
    {0x0209, "JPEGACTables"},
    {0x0211, "YCbCrCoefficients"},
    {0x0212, "YCbCrSubSampling"},
    {0x0213, "YCbCrPositioning", {}, "1:Centered,2:Co-sited"},
    {0x0214, "ReferenceBlackWhite"},
    {0x02BC, "ExtensibleMetadataPlatform"},
    {0x0301, "Gamma"},
    {0x0302, "ICCProfileDescriptor"},
    {0x0303, "SRGBRenderingIntent"},
    {0x0304, "ImageTitle"},
    {0x1000, "RelatedImageFileFormat"},
    {0x1001, "RelatedImageWidth"},
    {0x1002, "RelatedImageHeight"},
    {0x4746, "Rating"},
    {0x4749, "RatingPercent"},
    {0x5001, "ResolutionXUnit"},
    {0x5002, "ResolutionYUnit"},
    {0x5003, "ResolutionXLengthUnit"},
    {0x5004, "ResolutionYLengthUnit"},
    {0x5005, "PrintFlags"},
    {0x5006, "PrintFlagsVersion"},
    {0x5007, "PrintFlagsCrop"},
    {0x5008, "PrintFlagsBleedWidth"},
    {0x5009, "PrintFlagsBleedWidthScale"},
    {0x500A, "HalftoneLPI"},
    {0x500B, "HalftoneLPIUnit"},
    {0x500C, "HalftoneDegree"},
    {0x500D, "HalftoneShape"},
    {0x500E, "HalftoneMisc"},
    {0x500F, "HalftoneScreen"},
    {0x5010, "JPEGQuality"},
    {0x5011, "GridSize"},
    {0x5012, "ThumbnailFormat"},
    {0x5013, "ThumbnailWidth"},
    {0x5014, "ThumbnailHeight"},
    {0x5015, "ThumbnailColorDepth"},
    {0x5016, "ThumbnailPlanes"},
    {0x5017, "ThumbnailRawBytes"},
    {0x5018, "ThumbnailSize"},
    {0x5019, "ThumbnailCompressedSize"},
    {0x501A, "ColorTransferFunction"},
    {0x501B, "ThumbnailData"},
    {0x5020, "ThumbnailImageWidth"},
    {0x5021, "ThumbnailImageHeight"},
    {0x5022, "ThumbnailBitsPerSample"},
    {0x5023, "ThumbnailCompression"},
    {0x5024, "ThumbnailPhotometricInterp"},
    {0x5025, "ThumbnailImageDescription"},
    {0x5026, "ThumbnailEquipMake"},
    {0x5027, "ThumbnailEquipModel"},
    {0x5028, "ThumbnailStripOffsets"},
    {0x5029, "ThumbnailOrientation"},
    {0x502A, "ThumbnailSamplesPerPixel"},
    {0x502B, "ThumbnailRowsPerStrip"},
    {0x502C, "ThumbnailStripBytesCount"},
    {0x502D, "ThumbnailResolutionX"},
    {0x502E, "ThumbnailResolutionY"},
    {0x502F, "ThumbnailPlanarConfig"},
    {0x5030, "ThumbnailResolutionUnit"},
    {0x5031, "ThumbnailTransferFunction"},
    {0x5032, "ThumbnailSoftwareUsed"},
    {0x5033, "ThumbnailDateTime"},
    {0x5034, "ThumbnailArtist"},
    {0x5035, "ThumbnailWhitePoint"},
    {0x5036, "ThumbnailPrimaryChromaticities"},
    {0x5037, "ThumbnailYCbCrCoefficients"},
    {0x5038, "ThumbnailYCbCrSubsampling"},
    {0x5039, "ThumbnailYCbCrPositioning"},
    {0x503A, "ThumbnailRefBlackWhite"},
    {0x503B, "ThumbnailCopyRight"},
    {0x5090, "LuminanceTable"},
    {0x5091, "ChrominanceTable"},
    {0x5100, "FrameDelay"},
    {0x5101, "LoopCount"},
    {0x5110, "PixelUnit"},
    {0x5111, "PixelPerUnitX"},
    {0x5112, "PixelPerUnitY"},
    {0x5113, "PaletteHistogram"},
    {0x800D, "ImageID"},
    {0x80E3, "Matteing"},
    {0x80E4, "DataType"},
    {0x80E5, "ImageDepth"},
    {0x80E6, "TileDepth"},
    {0x828D, "CFARepeatPatternDim"},
    {0x828E, "CFAPattern"},
    {0x828F, "BatteryLevel"},
    {0x8298, "Copyright"},
    {0x829A, "ExposureTime", {}, {}, "%s sec", DecodeExposureTime},
    {0x829D, "FNumber", {}, {}, "F%0.1f"},
    {0x830E, "PixelScale"},
    {0x83BB, "IPTC/NAA", "IPTC/NAA", {}},
    {0x8482, "ModelTiePoint"},
    {0x84E3, "IT8RasterPadding"},
    {0x84E5, "IT8ColorTable"},
    {0x85D8, "ModelTransform"},
    {0x8649, "ImageResourceInformation"},
    {0x8769, "ExifOffset"},
    {0x8773, "InterColorProfile"},
    {0x87AF, "GeoTiffDirectory"},
    {0x87B0, "GeoTiffDoubleParams"},
    {0x87B1, "GeoTiffAsciiParams"},
    {0x8822, "ExposureProgram", {}, "0:Unidentified,1:Manual,2:Normal,3:Aperture priority,4:Shutter priority,5:Creative(slow),6:Action(high-speed),7:Portrait mode,8:Landscape mode,9:Bulb"},
    {0x8824, "SpectralSensitivity"},
    {0x8825, "GPSInfo"},
    {0x8827, "ISOSpeedRatings"},
    {0x8828, "OECF"},
    {0x8829, "Interlace"},
    {0x882A, "TimeZoneOffset"},
    {0x882B, "SelfTimerMode"},
    {0x8830, "SensitivityType", {}, "0:Unknown,1:Standard Output Sensitivity,2:Recommended Exposure Index,3:ISO Speed,4:Standard Output Sensitivity and Recommended Exposure Index,5:Standard Output Sensitivity and ISO Speed,6:Recommended Exposure Index and ISO Speed,7:Standard Output Sensitivity and Recommended Exposure Index and ISO Speed"},
    {0x8831, "StandardOutputSensitivity"},
    {0x8832, "RecommendedExposureIndex"},
    {0x8833, "ISOSpeed"},
    {0x8834, "ISOSpeedLatitudeyyy"},
    {0x8835, "ISOSpeedLatitudezzz"},
    {0x9000, "ExifVersion"},
    {0x9003, "DateTimeOriginal"},
    {0x9004, "DateTimeDigitized"},
    {0x9010, "OffsetTime"},
    {0x9011, "OffsetTimeOriginal"},
    {0x9012, "OffsetTimeDigitized"},
    {0x9101, "ComponentsConfiguration", {}, {}, {}, DecodeComponents},
    {0x9102, "CompressedBitsPerPixel"},
    {0x9201, "ShutterSpeedValue", {}, {}, {}, DecodeShutterSpeed},
    {0x9202, "ApertureValue", {}, {}, {}, DecodeApexAperture},
    {0x9203, "BrightnessValue"},
    {0x9204, "ExposureBiasValue"},
    {0x9205, "MaxApertureValue", {}, {}, {}, DecodeApexAperture},
    {0x9206, "SubjectDistance", {}, {}, {}, DecodeSubjectDistance},
    {0x9207, "MeteringMode", {}, "0:Unknown,1:Average,2:Center,3:Spot,4:MultiSpot,5:MultiSegment,6:Partial,255:Other"},
    {0x9208, "LightSource", {}, "0:Unidentified,1:Daylight,2:Fluorescent,3:Tungsten,4:Flash,9:Fine weather,10:Cloudy,11:Shade,12:Daylight fluorescent,13:Day white fluorescent,14:Cool white fluorescent,15:White fluorescent,16:Warm white fluorescent,17:Std A,18:Std B,19:Std C,20:D55,21:D65,22:D75,23:D50,24:ISO studio tungsten,255:Other"},
    {0x9209, "Flash", {}, {}, {}, DecodeFlash},
    {0x920A, "FocalLength", {}, {}, "%5.2f mm"},
    {0x920B, "FlashEnergy"},
    {0x920C, "SpatialFrequencyResponse"},
    {0x920D, "Noise"},
    {0x920E, "FocalPlaneXResolution"},
    {0x920F, "FocalPlaneYResolution"},
    {0x9210, "FocalPlaneResolutionUnit", {}, "1:None Specified,2:Inch,3:Centimeter,4:Millimeter,5:Micrometer"},
    {0x9211, "ImageNumber"},
    {0x9212, "SecurityClassification"},
    {0x9213, "ImageHistory"},
    {0x9214, "SubjectArea"},
    {0x9215, "ExposureIndex"},
    {0x9216, "TIFF/EPStandardID"},
    {0x9217, "SensingMethod", {}, "1:MonochromeArea,2:OneChipColorArea,3:TwoChipColorArea,4:ThreeChipColorArea,5:ColorSequentialArea,6:MonochromeLinear,7:TriLinear,8:ColorSequentialLinear"},
    {0x923F, "StoNits"},
    {0x927C, "MakerNote"},
    {0x9286, "UserComment", {}, {}, {}, DecodeCharacterCoded},
    {0x9290, "SubSecTime"},
    {0x9291, "SubSecTimeOriginal"},
    {0x9292, "SubSecTimeDigitized"},
    {0x935C, "ImageSourceData"},
    {0x9400, "AmbientTemperature"},
    {0x9401, "Humidity"},
    {0x9402, "Pressure"},
    {0x9403, "WaterDepth"},
    {0x9404, "Acceleration"},
    {0x9405, "CameraElevationAngle"},
    {0x9C9B, "Title", {}, {}, {}, DecodeXpText},
    {0x9C9C, "Comments", {}, {}, {}, DecodeXpText},
    {0x9C9D, "Author", {}, {}, {}, DecodeXpText},
    {0x9C9E, "Keywords", {}, {}, {}, DecodeXpText},
    {0x9C9F, "Subject", {}, {}, {}, DecodeXpText},
    {0xA000, "FlashPixVersion"},
    {0xA001, "ColorSpace", {}, "0:sBW,1:sRGB,2:Adobe RGB,65533:Wide Gamut RGB,65534:ICC Profile,65535:Uncalibrated"},
    {0xA002, "ExifImageWidth"},
    {0xA003, "ExifImageLength"},
    {0xA004, "RelatedSoundFile"},
    {0xA005, "InteroperabilityOffset"},
    {0xA20B, "FlashEnergy"},
    {0xA20C, "SpatialFrequencyResponse"},
    {0xA20E, "FocalPlaneXResolution"},
    {0xA20F, "FocalPlaneYResolution"},
    {0xA210, "FocalPlaneResolutionUnit", {}, "1:None Specified,2:Inch,3:Centimeter,4:Millimeter,5:Micrometer"},
    {0xA211, "ImageNumber"},
    {0xA212, "SecurityClassification"},
    {0xA213, "ImageHistory"},
    {0xA214, "SubjectLocation"},
    {0xA215, "ExposureIndex"},
    {0xA216, "TIFF/EPStandardID", "TIFF/EPStandardID", {}},
    {0xA217, "SensingMethod", {}, "0:Unknown,1:Not defined,2:OneChipColorArea,3:TwoChipColorArea,4:ThreeChipColorArea,5:ColorSequentialArea,7:TriLinear,8:ColorSequentialLinear"},
    {0xA300, "FileSource", {}, "0:Other,1:Film Scanner,2:Reflection Print Scanner,3:Digital Still Camera"},
    {0xA301, "SceneType", {}, "0:Unknown,1:Directly Photographed"},
    {0xA302, "CFAPattern", {}, {}, {}, DecodeCfaPattern},
    {0xA401, "CustomRendered", {}, "0:Normal process,1:Custom process,2:HDR (no original saved),3:HDR (original saved),4:Original (for HDR),6:Panorama,7:Portrait HDR,8:Portrait"},
    {0xA402, "ExposureMode", {}, "0:Auto,1:Manual,2:Auto bracket"},
    {0xA403, "WhiteBalance", {}, "0:Auto,1:Manual"},
    {0xA404, "DigitalZoomRatio"},
    {0xA405, "FocalLengthin35mmFilm", "Focal Length in 35mm Film", {}, "%5.2f mm"},
    {0xA406, "SceneCaptureType", {}, "0:Standard,1:Landscape,2:Portrait,3:Night scene,4:Other"},
    {0xA407, "GainControl", {}, "0:None,1:Low gain up,2:High gain up,3:Low gain down,4:High gain down"},
    {0xA408, "Contrast", {}, "0:Normal,1:Soft,2:Hard"},
    {0xA409, "Saturation", {}, "0:Normal,1:Low,2:High"},
    {0xA40A, "Sharpness", {}, "0:Normal,1:Soft,2:Hard"},
    {0xA40B, "DeviceSettingDescription"},
    {0xA40C, "SubjectDistanceRange", {}, "0:Unknown,1:Macro,2:Close view,3:Distant view"},
    {0xA420, "ImageUniqueID"},
    {0xA430, "CameraOwnerName"},
    {0xA431, "BodySerialNumber"},
    {0xA432, "LensSpecification", {}, {}, {}, DecodeLensRange},
    {0xA433, "LensMake"},
    {0xA434, "LensModel"},
    {0xA435, "LensSerialNumber"},
    {0xA460, "CompositeImage", {}, "0:Unknown,1:Not a Composite Image,2:General Composite Image,3:Composite Image Captured While Shooting"},
    {0xA461, "CompositeImageCount"},
    {0xA462, "CompositeImageExposureTimes"},
    {0xA480, "GDALMetadata"},
    {0xA481, "GDALNoData"},
    {0xA500, "Gamma"},
    {0xC4A5, "PrintIM", "Print Image Matching"},
    {0xC612, "DNGVersion"},
    {0xC613, "DNGBackwardVersion"},
    {0xC614, "UniqueCameraModel"},
    {0xC615, "LocalizedCameraModel"},
    {0xC616, "CFAPlaneColor"},
    {0xC617, "CFALayout", {}, "1:Rectangular,2:Even columns offset down 1/2 row,3:Even columns offset up 1/2 row,4:Even rows offset right 1/2 column,5:Even rows offset left 1/2 column,6:Even rows offset up by 1/2 row and even columns offset left by 1/2 column,7:Even rows offset up by 1/2 row and even columns offset right by 1/2 column,8:Even rows offset down by 1/2 row and even columns offset left by 1/2 column,9:Even rows offset down by 1/2 row and even columns offset right by 1/2 column"},
    {0xC618, "LinearizationTable"},
    {0xC619, "BlackLevelRepeatDim"},
    {0xC61A, "BlackLevel"},
    {0xC61B, "BlackLevelDeltaH"},
    {0xC61C, "BlackLevelDeltaV"},
    {0xC61D, "WhiteLevel"},
    {0xC61E, "DefaultScale"},
    {0xC61F, "DefaultCropOrigin"},
    {0xC620, "DefaultCropSize"},
    {0xC621, "ColorMatrix1"},
    {0xC622, "ColorMatrix2"},
    {0xC623, "CameraCalibration1"},
    {0xC624, "CameraCalibration2"},
    {0xC625, "ReductionMatrix1"},
    {0xC626, "ReductionMatrix2"},
    {0xC627, "AnalogBalance"},
    {0xC628, "AsShotNeutral"},
    {0xC629, "AsShotWhiteXY"},
    {0xC62A, "BaselineExposure"},
    {0xC62B, "BaselineNoise"},
    {0xC62C, "BaselineSharpness"},
    {0xC62D, "BayerGreenSplit"},
    {0xC62E, "LinearResponseLimit"},
    {0xC62F, "CameraSerialNumber"},
    {0xC630, "DNGLensInfo"},
    {0xC631, "ChromaBlurRadius"},
    {0xC632, "AntiAliasStrength"},
    {0xC633, "ShadowScale"},
    {0xC634, "DNGPrivateData"},
    {0xC635, "MakerNoteSafety", {}, "0:Unsafe,1:Safe"},
    {0xC65A, "CalibrationIlluminant1", {}, "0:Unidentified,1:Daylight,2:Fluorescent,3:Tungsten,4:Flash,9:Fine weather,10:Cloudy,11:Shade,12:Daylight fluorescent,13:Day white fluorescent,14:Cool white fluorescent,15:White fluorescent,16:Warm white fluorescent,17:Std A,18:Std B,19:Std C,20:D55,21:D65,22:D75,23:D50,24:ISO studio tungsten,255:Other"},
    {0xC65B, "CalibrationIlluminant2", {}, "0:Unidentified,1:Daylight,2:Fluorescent,3:Tungsten,4:Flash,9:Fine weather,10:Cloudy,11:Shade,12:Daylight fluorescent,13:Day white fluorescent,14:Cool white fluorescent,15:White fluorescent,16:Warm white fluorescent,17:Std A,18:Std B,19:Std C,20:D55,21:D65,22:D75,23:D50,24:ISO studio tungsten,255:Other"},
    {0xC65C, "BestQualityScale"},
    {0xC65D, "RawDataUniqueID"},
    {0xC68B, "OriginalRawFileName"},
    {0xC68C, "OriginalRawFileData"},
    {0xC68D, "ActiveArea"},
    {0xC68E, "MaskedAreas"},
    {0xC68F, "AsShotICCProfile"},
    {0xC690, "AsShotPreProfileMatrix"},
    {0xC691, "CurrentICCProfile"},
    {0xC692, "CurrentPreProfileMatrix"},
    {0xC6BF, "ColorimetricReference"},
    {0xC6F3, "CameraCalibrationSig"},
    {0xC6F4, "ProfileCalibrationSig"},
    {0xC6F5, "ExtraCameraProfiles"},
    {0xC6F6, "AsShotProfileName"},
    {0xC6F7, "NoiseReductionApplied"},
    {0xC6F8, "ProfileName"},
    {0xC6F9, "ProfileHueSatMapDims"},
    {0xC6FA, "ProfileHueSatMapData1"},
    {0xC6FB, "ProfileHueSatMapData2"},
    {0xC6FC, "ProfileToneCurve"},
    {0xC6FD, "ProfileEmbedPolicy", {}, "0:Allow Copying,1:Embed if Used,2:Never Embed,3:No Restrictions"},
    {0xC6FE, "ProfileCopyright"},
    {0xC714, "ForwardMatrix1"},
    {0xC715, "ForwardMatrix2"},
    {0xC716, "PreviewApplicationName"},
    {0xC717, "PreviewApplicationVersion"},
    {0xC718, "PreviewSettingsName"},
    {0xC719, "PreviewSettingsDigest"},
    {0xC71A, "PreviewColorSpace", {}, "0:Unknown,1:Gray Gamma 2.2,2:sRGB,3:Adobe RGB,4:ProPhoto RGB"},
    {0xC71B, "PreviewDateTime"},
    {0xC71C, "RawImageDigest"},
    {0xC71D, "OriginalRawFileDigest"},
    {0xC71E, "SubTileBlockSize"},
    {0xC71F, "RowInterleaveFactor"},
    {0xC725, "ProfileLookTableDims"},
    {0xC726, "ProfileLookTableData"},
    {0xC740, "OpcodeList1"},
    {0xC741, "OpcodeList2"},
    {0xC74E, "OpcodeList3"},
    {0xC761, "NoiseProfile"},
    {0xC763, "TimeCodes"},
    {0xC764, "FrameRate"},
    {0xC772, "TStop"},
    {0xC789, "ReelName"},
    {0xC791, "OriginalDefaultFinalSize"},
    {0xC792, "OriginalBestQualitySize"},
    {0xC793, "OriginalDefaultCropSize"},
    {0xC7A1, "CameraLabel"},
    {0xC7A3, "ProfileHueSatMapEncoding", {}, "0:Linear,1:sRGB"},
    {0xC7A4, "ProfileLookTableEncoding", {}, "0:Linear,1:sRGB"},
    {0xC7A5, "BaselineExposureOffset"},
    {0xC7A6, "DefaultBlackRender", {}, "0:Auto,1:None"},
    {0xC7A7, "NewRawImageDigest"},
    {0xC7A8, "RawToPreviewGain"},
    {0xC7B5, "DefaultUserCrop"},
    {0xEA1C, "Padding"},
    {0xEA1D, "OffsetSchema"},
    {0x0000, "Unknown"},  // sentinel
};

constexpr TagDef kGpsTagDefs[] = {
    {0x00, "GPSVersionID"},
    {0x01, "GPSLatitudeRef", {}, "N:North,S:South"},
    {0x02, "GPSLatitude", {}, {}, {}, DecodeGpsCoordinate},
    {0x03, "GPSLongitudeRef", {}, "E:East,W:West"},
    {0x04, "GPSLongitude", {}, {}, {}, DecodeGpsCoordinate},
    {0x05, "GPSAltitudeRef", {}, "0:Above sea level,1:Below sea level"},
    {0x06, "GPSAltitude", {}, {}, {}, DecodeGpsAltitude},
    {0x07, "GPSTimeStamp", {}, {}, {}, DecodeGpsTimeStamp},
    {0x08, "GPSSatellites"},
    {0x09, "GPSStatus", {}, "A:Measurement Active,V:Measurement Void"},
    {0x0A, "GPSMeasureMode", {}, "2:2-Dimensional Measurement,3:3-Dimensional Measurement"},
    {0x0B, "GPSDOP"},
    {0x0C, "GPSSpeedRef", {}, "K:km/h,M:mph,N:knots"},
    {0x0D, "GPSSpeed", {}, {}, {}, DecodeGpsSpeed},
    {0x0E, "GPSTrackRef", {}, "M:Magnetic North,T:True North"},
    {0x0F, "GPSTrack", {}, {}, {}, DecodeGpsDirection},
    {0x10, "GPSImageDirectionRef", {}, "M:Magnetic North,T:True North"},
    {0x11, "GPSImageDirection", {}, {}, {}, DecodeGpsDirection},
    {0x12, "GPSMapDatum"},
    {0x13, "GPSDestLatitudeRef", {}, "N:North,S:South"},
    {0x14, "GPSDestLatitude", {}, {}, {}, DecodeGpsCoordinate},
    {0x15, "GPSDestLongitudeRef", {}, "E:East,W:West"},
    {0x16, "GPSDestLongitude", {}, {}, {}, DecodeGpsCoordinate},
    {0x17, "GPSDestBearingRef", {}, "M:Magnetic North,T:True North"},
    {0x18, "GPSDestBearing", {}, {}, {}, DecodeGpsDirection},
    {0x19, "GPSDestDistanceRef", {}, "K:Kilometers,M:Miles,N:Nautical Miles"},
    {0x1A, "GPSDestDistance", {}, {}, {}, DecodeGpsDistance},
    {0x1B, "GPSProcessingMethod", {}, {}, {}, DecodeCharacterCoded},
    {0x1C, "GPSAreaInformation", {}, {}, {}, DecodeCharacterCoded},
    {0x1D, "GPSDateStamp"},
    {0x1E, "GPSDifferential", {}, "0:No Correction,1:Differential Corrected"},
    {0x1F, "GPSHPositioningError", {}, {}, {}, DecodeMetres},
};
// clang-format on

static_assert(std::size(kExifTagDefs) == kExifTagCount + 1, "the tags and the sentinel");
static_assert(std::size(kGpsTagDefs) == kGpsTagCount);
static_assert(TagsAscending(std::span(kExifTagDefs, kExifTagCount)), "ascending, so no tag twice");
static_assert(TagsAscending(kGpsTagDefs), "ascending, so no tag twice");
static_assert(kExifTagDefs[kExifTagCount].Tag == 0 &&
              kExifTagDefs[kExifTagCount].Name == "Unknown");
static_assert(kGpsTagDefs[0].Tag == 0 && kGpsTagDefs[kGpsTagCount - 1].Tag == 31);

bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

// A table whose empty descriptions are derived from the names as it is built, so that the
// tables are constant from their first use on and any thread may read them.
std::vector<TTagEntry> DescribedTable(std::span<const TagDef> defs) {
  std::vector<TTagEntry> table = BuildTagTable(defs);
  for (TTagEntry& entry : table) {
    if (entry.Description.empty()) entry.Description = SpaceWords(entry.Name);
  }
  return table;
}

const std::vector<TTagEntry>& ExifStorage() {
  static const std::vector<TTagEntry> table = DescribedTable(kExifTagDefs);
  return table;
}

const std::vector<TTagEntry>& GpsStorage() {
  static const std::vector<TTagEntry> table = DescribedTable(kGpsTagDefs);
  return table;
}

}  // namespace

std::span<const TTagEntry> ExifTagTable() { return ExifStorage(); }

std::span<const TTagEntry> GpsTagTable() { return GpsStorage(); }

TTagEntry LookupTag(uint16_t tag, int kind) {
  const std::span<const TTagEntry> exifTable = ExifTagTable();
  std::span<const TTagEntry> searched;
  if (kind == kMainDirectory || kind == kThumbnailDirectory) {
    searched = exifTable.first(kExifTagCount);
  } else if (kind == kGpsDirectory) {
    searched = GpsTagTable();
  }
  // Both tables ascend with no number twice (checked at compile time), so
  // the one match a search finds is the entry a walk over all would keep.
  const auto match = std::lower_bound(searched.begin(), searched.end(), tag,
                                      [](const TTagEntry& e, uint16_t t) { return e.Tag < t; });
  if (match != searched.end() && match->Tag == tag) return *match;
  return exifTable[kExifTagCount];
}

int DictionaryIndexOf(std::string_view name) {
  const std::span<const TTagEntry> table = ExifTagTable().first(kExifTagCount);
  for (size_t i = 0; i < table.size(); ++i) {
    if (EqualsIgnoreAsciiCase(table[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

int FindTagIndex(uint16_t tag, std::span<const TTagEntry> table) {
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].Tag == tag) return static_cast<int>(i);
  }
  return -1;
}

std::string FindValueMap(uint16_t tag, std::span<const TTagEntry> table) {
  std::string map;
  for (const TTagEntry& entry : table) {
    if (entry.Tag == tag) map = entry.ValueMap;
  }
  return map;
}

std::string SpaceWords(std::string_view name) {
  if (name.empty()) return {};
  std::string spaced(1, name.front());
  bool previousWasCapital = true;
  for (char c : name.substr(1)) {
    if (IsCapital(c)) {
      if (!previousWasCapital) spaced += ' ';
      previousWasCapital = true;
    } else {
      previousWasCapital = false;
    }
    spaced += c;
  }
  return spaced;
}

}  // namespace exif::detail
